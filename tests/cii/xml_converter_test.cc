#include "cii/xml_converter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <regex>

#include "cii/syntax/cii_reader.h"
#include "cii/syntax/cii_writer.h"
#include "base/ansi_codec.h"
#include "cii/field_codec.h"
#include "support/converter_fixture.h"
#include "support/format_fixture.h"
#include "support/recording_visitor.h"
#include "support/test_db.h"

namespace edi::cii {
namespace {

class XmlConverterTest : public test::ConverterFixture {
 protected:

  void Format(const std::string& xmlCode = "M", const std::string& info = "0101") {
    test::InsertFormat(db_, info, "BP000001",
                       {{1, 0, 0, 1, "X", 10},      {2, 0, 0, 2, "9", 7, 2},  {3, 0, 0, 3, "Y", 8},
                        {4, 0, 0, 4, "K", 20},      {5, 0, 0, 5, "B", 4},     {6, 0, 0, 0, "M", 0, 0, 3, "", "1"},
                        {7, 0, 1, 10, "X", 5},      {8, 0, 1, 11, "N", 4},    {9, 0, 1, 0, "M", 0, 0, 2, "", "2"},
                        {10, 0, 2, 12, "X", 3},     {11, 0, 0, 300, "X", 40}, {12, 0, 0, 0, "M", 0, 0, 2, "", "45"},
                        {13, 0, 1, 13, "K", 10},    {14, 0, 0, 0, "M", 0, 0, 1, "", "B"},
                        {15, 0, 1, 14, "X", 4}},
                       {}, "M", xmlCode);
  }


  std::string Convert(const std::string& in, const std::string& out) {
    std::string result;
    ConvertCiiXmlFile(state_, db_, Path(in), Path(out), 7, result);
    return result;
  }

  std::vector<std::string> Read(const std::string& name) { return test::RecordFile(Path(name)).lines; }

  static std::string Header(const std::string& info = "0101", const std::string& mode = "M",
                            const std::string& code16 = "M") {
    return "<JPMGH><JPC03>P</JPC03><JPC06>SENDER</JPC06><JPC09>RECEIVER</JPC09><JPC10>BP00</JPC10>"
           "<JPC11>00</JPC11><JPC12>01</JPC12><JPC14>" + info + "</JPC14><JPC23>" + mode +
           "</JPC23><JPC24>1</JPC24><JPC25>" + code16 + "</JPC25></JPMGH>\n";
  }

  static std::string Document(const std::string& body, const std::string& header = Header(),
                              const std::string& declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>") {
    return declaration + "\n<CII-BP0000010101-V10>\n" + header + body + "</CII-BP0000010101-V10>\n";
  }

};

TEST_P(XmlConverterTest, OneHeaderAndThreeMessages) {
  Format();
  test::WriteFile(Path("a.xml"), Document("<JPTRM><JP00001>A</JP00001></JPTRM>\n<JPTRM><JP00001>B</JP00001></JPTRM>"
                                          "<JPTRM><JP00001>C</JP00001></JPTRM>"));
  ASSERT_EQ(Convert("a.xml", "out.CII"), "0000");
  auto recording = test::RecordFile(Path("out.CII"));
  auto& lines = recording.lines;
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(recording.headers[0].substr(0, 1), "P");
  EXPECT_EQ(recording.headers[0].substr(73, 8), "BP000001");
  EXPECT_EQ(lines[1], "D 1");
  EXPECT_EQ(lines[2], "1=A");
  EXPECT_EQ(lines[7], "D 3");
  EXPECT_EQ(lines[10], "0E 00003");
  const std::string bytes = test::ReadFile(Path("out.CII"));
  EXPECT_EQ(bytes.substr(0, 2), "0C");
  EXPECT_EQ(bytes[2 + 145], 'E');  // the default of the field no element carries
  EXPECT_EQ(test::ReadFile(Path("ERR.LOG")), "0000--M470530 start--00000007\r\n");
}

TEST_P(XmlConverterTest, TrailersCountAllMessagesOfTheCall) {
  Format();
  Format("M", "0202");
  test::WriteFile(Path("a.xml"), Document("<JPTRM><JP00001>A</JP00001></JPTRM><JPTRM><JP00001>B</JP00001></JPTRM>" +
                                          Header("0202") + "<JPTRM><JP00001>C</JP00001></JPTRM>"));
  ASSERT_EQ(Convert("a.xml", "out.CII"), "0000");
  std::vector<std::string> trailers;
  for (const auto& l : Read("out.CII")) {
    if (l.rfind("0E", 0) == 0) trailers.push_back(l);
  }
  EXPECT_EQ(trailers, (std::vector<std::string>{"0E 00002", "0E 00003"}));
}

TEST_P(XmlConverterTest, ValuesByAttribute) {
  Format();
  test::WriteFile(Path("a.xml"),
                  Document("<JPTRM><JP00001> </JP00001><JP00002>0.00</JP00002><JP00003>000000</JP00003></JPTRM>"
                           "<JPTRM><JP00002>0012.50</JP00002><JP00003>991231</JP00003><JP00005>0A1F</JP00005></JPTRM>"
                           "<JPTRM><JP00003>500101</JP00003><JP00002>12345678901234567.8</JP00002></JPTRM>"
                           "<JPTRM><JP00003>1231</JP00003><JP00004>ABｱ①</JP00004></JPTRM>"));
  ASSERT_EQ(Convert("a.xml", "out.CII"), "0000");
  auto lines = Read("out.CII");
  std::vector<std::string> expected = {"D 1", "end", "D 2", "2=12.5", "3=19991231", "5=\x0A\x1F", "end",
                                       "D 3", "3=20500101", "2=12345678901234567.8", "end",
                                       "D 4", "3=20001231", "4=\x82\x60\x82\x61\x83\x41\x87\x40", "end"};
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end() - 1), expected);
}

TEST_P(XmlConverterTest, LongBodiesTakeTheLongLengthForm) {
  Format();
  // 32760 body bytes: two elements of 1 + 3 + 16376 bytes each (X rows allow any length here).
  std::string value(16376, 'x');
  test::WriteFile(Path("a.xml"), Document("<JPTRM><JP00001>" + value + "</JP00001><JP00001>" + value + "</JP00001></JPTRM>"));
  ASSERT_EQ(Convert("a.xml", "out.CII"), "0000");
  EXPECT_EQ(Read("out.CII")[1], "D 1 long");
}

TEST_P(XmlConverterTest, FailedDocumentsAppendNothing) {
  Format();
  test::WriteFile(Path("out.CII"), "KEEP");
  test::WriteFile(Path("bad.xml"), Document("<JPTRM><JP00001>A</JP00001></JPTRM><broken>"));
  EXPECT_EQ(Convert("bad.xml", "out.CII"), "0023");
  test::WriteFile(Path("hex.xml"), Document("<JPTRM><JP00005>0A1</JP00005></JPTRM>"));
  EXPECT_EQ(Convert("hex.xml", "out.CII"), "0026");
  test::WriteFile(Path("nofmt.xml"), Document("<JPTRM><JP00001>A</JP00001></JPTRM>", Header("0999")));
  EXPECT_EQ(Convert("nofmt.xml", "out.CII"), "0001");
  test::WriteFile(Path("mode.xml"), Document("<JPTRM><JP00001>A</JP00001></JPTRM>", Header("0101", "Q")));
  EXPECT_EQ(Convert("mode.xml", "out.CII"), "0016");
  EXPECT_EQ(test::ReadFile(Path("out.CII")), "KEEP");
}

TEST_P(XmlConverterTest, EveryFileOpensItsOwnGroup) {
  Format();
  test::WriteFile(Path("a.xml"), Document("<JPTRM><JP00001>A</JP00001></JPTRM>"));
  ASSERT_EQ(Convert("a.xml", "out.CII"), "0000");
  ASSERT_EQ(Convert("a.xml", "out.CII"), "0000");  // the same header again
  int headers = 0, trailers = 0;
  for (const auto& l : Read("out.CII")) {
    headers += l.rfind("0C", 0) == 0;
    trailers += l.rfind("0E", 0) == 0;
  }
  EXPECT_EQ(headers, 2);
  EXPECT_EQ(trailers, 2);
}

TEST_P(XmlConverterTest, UnknownElementsAndEarlyMessagesAreSkippedAndLogged) {
  Format();
  test::WriteFile(Path("a.xml"), "<?xml version=\"1.0\"?><R><JPTRM><JP00001>early</JP00001></JPTRM>" + Header() +
                                     "<JPTRM><JP00077>x</JP00077><JP00001>A</JP00001><JPM99><JP00010>q</JP00010></JPM99>"
                                     "</JPTRM><JPMGH/></R>");
  ASSERT_EQ(Convert("a.xml", "out.CII"), "0000");
  auto lines = Read("out.CII");
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
            (std::vector<std::string>{"D 2", "1=A", "end", "error 32", "0E 00002"}))
      << "the early message is counted by the trailer, which the reader reports";
  const std::string log = test::ReadFile(Path("ERR.LOG"));
  EXPECT_NE(log.find("0025\r\n"), std::string::npos);
  EXPECT_NE(log.find("0024\r\n"), std::string::npos);
}

TEST_P(XmlConverterTest, ADocumentTypeWithItsOwnEntitiesGivesWhatItsPlainTextGives) {
  Format();
  const std::string body = "<JPTRM><JP00001>&amp;A&#x42;<![CDATA[<C>]]></JP00001><JPM1><JPM1R><JP00010>q</JP00010>"
                           "</JPM1R></JPM1></JPTRM></R>";
  test::WriteFile(Path("plain.xml"), "<?xml version=\"1.0\"?><R>" + Header() + body);
  test::WriteFile(Path("typed.xml"), "<?xml version=\"1.0\"?><!DOCTYPE R [<!ENTITY e \"&amp;A\">]><R>" + Header() +
                                         std::regex_replace(body, std::regex("&amp;A"), "&e;"));
  ASSERT_EQ(Convert("plain.xml", "plain.CII"), "0000");
  ASSERT_EQ(Convert("typed.xml", "typed.CII"), "0000");
  EXPECT_EQ(test::ReadFile(Path("typed.CII")).substr(kRecordSize), test::ReadFile(Path("plain.CII")).substr(kRecordSize))
      << "past the group header, whose creation time may differ";
  EXPECT_EQ(Read("plain.CII")[2], "1=&AB<C>");
}

std::string MessageWithEverything(char code16 = 'M') {
  MessageBody b;
  EXPECT_EQ(b.AppendElement(1, "ABC"), 0);
  EXPECT_EQ(b.AppendElement(2, "123.45"), 0);
  EXPECT_EQ(b.AppendElement(3, "20261208"), 0);
  EXPECT_EQ(b.AppendElement(4, EncodeDoubleBytes("①～日本", code16)), 0);
  EXPECT_EQ(b.AppendElement(5, std::string("\x00\xFF", 2)), 0);
  EXPECT_TRUE(b.AppendGroupStart("1", false));
  EXPECT_EQ(b.AppendElement(10, "P1"), 0);
  EXPECT_EQ(b.AppendElement(11, "7"), 0);
  EXPECT_TRUE(b.AppendGroupStart("2", false));
  EXPECT_EQ(b.AppendElement(12, "i1"), 0);
  b.AppendRepetition();
  EXPECT_EQ(b.AppendElement(12, "i2"), 0);
  b.AppendGroupEnd();
  b.AppendRepetition();
  EXPECT_EQ(b.AppendElement(10, "P2"), 0);
  b.AppendGroupEnd();
  return std::string(b.bytes());
}

std::string ExtendedMessage(char code16 = 'M') {
  MessageBody b;
  EXPECT_EQ(b.AppendElement(1, "X1"), 0);
  EXPECT_EQ(b.AppendElement(300, "EXTENDED"), 0);
  EXPECT_TRUE(b.AppendGroupStart("45", false));
  EXPECT_EQ(b.AppendElement(13, EncodeDoubleBytes("語", code16)), 0);
  b.AppendRepetition();
  EXPECT_EQ(b.AppendElement(13, EncodeDoubleBytes("語語", code16)), 0);
  b.AppendGroupEnd();
  EXPECT_TRUE(b.AppendGroupStart("1", false));
  EXPECT_EQ(b.AppendElement(10, "Q"), 0);
  b.AppendGroupEnd();
  EXPECT_TRUE(b.AppendGroupStart("B", false));
  EXPECT_EQ(b.AppendElement(14, "LTR"), 0);
  b.AppendGroupEnd();
  return std::string(b.bytes());
}

TEST_P(XmlConverterTest, CiiDocumentsHaveDeclarationRootHeaderAndMessages) {
  Format();
  auto header = test::GroupHeader("BP000001", "0101", 'M', 'M', "  ", "ABC", "RECEIVER");
  test::WriteFile(Path("in.CII"), test::CiiGroup(header, {MessageWithEverything(), MessageWithEverything()}));
  ASSERT_EQ(Convert("in.CII", "out.xml"), "0000");
  const std::string xml = test::ReadFile(Path("out.xml"));
  EXPECT_EQ(xml.substr(0, 44), "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n");
  EXPECT_NE(xml.find("<CII-BP0000010101-V10>\r\n    <JPMGH>\r\n        <JPC03></JPC03>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<JPC06>ABC</JPC06>"), std::string::npos);
  EXPECT_NE(xml.find("<JPTRM SEQ=\"1\">\r\n        <JP00001>ABC</JP00001>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<JPTRM SEQ=\"2\">"), std::string::npos);
  EXPECT_NE(xml.find("<JP00005>00FF</JP00005>"), std::string::npos);
  EXPECT_NE(xml.find("        <JPM0>\r\n            <JPM0R>\r\n                <JP00010>P1</JP00010>"), std::string::npos);
  EXPECT_NE(xml.find("\x87\x40\x81\x60\x93\xfa\x96\x7b"), std::string::npos);  // ①～日本 in Windows-31J
  size_t children = 0;
  for (size_t at = xml.find("<JPC"); at != std::string::npos; at = xml.find("<JPC", at + 1)) ++children;
  EXPECT_EQ(children, 25u);
}

TEST_P(XmlConverterTest, ShiftJisDocumentsCarryLongJapaneseTextAndReferenceWhatTheyCannotHold) {
  Format();
  MessageBody b;
  EXPECT_EQ(b.AppendElement(1, std::string("A\x01Z", 3)), 0);  // a control byte: U+FFFD, which Windows-31J lacks
  std::string kanji;
  for (int i = 0; i < 3000; ++i) kanji += (i % 3 == 0 ? "日" : i % 3 == 1 ? "本" : "①");
  EXPECT_EQ(b.AppendElement(4, EncodeDoubleBytes(kanji, 'M')), 0);  // longer than the writer's chunks
  test::WriteFile(Path("in.CII"), test::CiiGroup(test::GroupHeader("BP000001", "0101", 'M'), {std::string(b.bytes())}));
  ASSERT_EQ(Convert("in.CII", "out.xml"), "0000");
  const std::string xml = test::ReadFile(Path("out.xml"));
  EXPECT_NE(xml.find("<JP00001>A&#65533;Z</JP00001>"), std::string::npos) << xml.substr(0, 2000);
  std::string ansi;
  ASSERT_TRUE(Utf8ToAnsi(kanji, ansi));
  EXPECT_NE(xml.find("<JP00004>" + ansi + "</JP00004>"), std::string::npos);
}

TEST_P(XmlConverterTest, DeclarationFollowsTheXmlCharacterCode) {
  Format("U");
  test::WriteFile(Path("in.CII"), test::CiiGroup(test::GroupHeader("BP000001", "0101", 'M'), {MessageWithEverything()}));
  ASSERT_EQ(Convert("in.CII", "out.xml"), "0000");
  const std::string xml = test::ReadFile(Path("out.xml"));
  ASSERT_GE(xml.size(), 4u);
  EXPECT_TRUE(xml.substr(0, 2) == "\xFF\xFE" || xml.substr(0, 2) == "\xFE\xFF" || xml.substr(0, 2) == std::string("<\0", 2));
  SetUp();
  Format("Z");
  test::WriteFile(Path("in.CII"), test::CiiGroup(test::GroupHeader("BP000001", "0101", 'M'), {MessageWithEverything()}));
  ASSERT_EQ(Convert("in.CII", "out.xml"), "0000");
  EXPECT_EQ(test::ReadFile(Path("out.xml")).substr(0, 22), "<CII-BP0000010101-V10>");
}

TEST_P(XmlConverterTest, IncompleteGroupsLeaveNoDocumentAndNoDataGroupsNoMessages) {
  Format();
  std::string cii = test::CiiGroup(test::GroupHeader("BP000001", "0101", 'M'), {MessageWithEverything()});
  test::WriteFile(Path("cut.CII"), cii.substr(0, cii.size() - 251));
  EXPECT_EQ(Convert("cut.CII", "cut.xml"), "0007") << "a file cut short is an error";
  EXPECT_FALSE(std::filesystem::exists(Path("cut.xml")));
  test::WriteFile(Path("nodata.CII"), test::CiiGroup(test::GroupHeader("BP000001", "0101", 'M', 'M', "20"),
                                                     {MessageWithEverything(), MessageWithEverything()}) +
                                          test::CiiGroup(test::GroupHeader("BP000001", "0101", 'S'), {ExtendedMessage()}));
  EXPECT_EQ(Convert("nodata.CII", "nodata.xml"), "0000");
  const std::string xml = test::ReadFile(Path("nodata.xml"));
  EXPECT_NE(xml.find("<JPMGH>"), std::string::npos);
  EXPECT_EQ(xml.find("<JPTRM"), std::string::npos);
  EXPECT_NE(test::ReadFile(Path("nodata2.xml")).find("<JPTRM SEQ=\"1\">"), std::string::npos);
}

// CII -> XML -> CII gives the same messages, and XML -> CII -> XML the same
// document, in every declared encoding.
TEST_P(XmlConverterTest, RoundTripsInEveryEncoding) {
  for (const char* code : {"M", "U", "S"}) {
    SetUp();
    Format(code);
    for (char code16 : {'M', 'S', 'U'}) {
      const std::string n(1, code16);
      std::string cii = test::CiiGroup(test::GroupHeader("BP000001", "0101", 'M', code16),
                                       {MessageWithEverything(code16), ExtendedMessage(code16)});
      test::WriteFile(Path("in" + n + ".CII"), cii);
      ASSERT_EQ(Convert("in" + n + ".CII", "doc" + n + ".xml"), "0000") << code << code16;
      ASSERT_EQ(Convert("doc" + n + ".xml", "back" + n + ".CII"), "0000") << code << code16;
      auto original = Read("in" + n + ".CII");
      auto back = Read("back" + n + ".CII");
      ASSERT_EQ(back.size(), original.size()) << code << code16;
      for (size_t i = 1; i < back.size(); ++i) EXPECT_EQ(back[i], original[i]) << code << code16 << " line " << i;
      ASSERT_EQ(Convert("back" + n + ".CII", "again" + n + ".xml"), "0000");
      EXPECT_EQ(test::ReadFile(Path("again" + n + ".xml")), test::ReadFile(Path("doc" + n + ".xml"))) << code << code16;
    }
  }
}

// Every item number a tag carries is written and read back into its
// element; one no tag carries fails the document with 0034.
TEST_P(XmlConverterTest, ItemNumbersAtTheLimitsOfTheTagForms) {
  const struct {
    int item;
    const char* result;
  } kCases[] = {{61439, "0000"}, {61440, "0034"}, {65535, "0034"},  {65536, "0000"},
                {65537, "0000"}, {70000, "0000"}, {524287, "0000"}, {524288, "0034"}};
  int category = 910;
  for (const auto& [item, expected] : kCases) {
    const std::string info = "0" + std::to_string(category++);
    test::InsertFormat(db_, info, "BP000001", {{1, 0, 0, item, "X", 5}}, {});
    const std::string element = "<JP" + std::to_string(item) + ">ITEM</JP" + std::to_string(item) + ">";
    test::WriteFile(Path("a.xml"), Document("<JPTRM>" + element + "</JPTRM>", Header(info)));
    const std::string cii = info + ".CII";
    ASSERT_EQ(Convert("a.xml", cii), expected) << item;
    if (std::string(expected) != "0000") {
      EXPECT_FALSE(std::filesystem::exists(Path(cii))) << item;
      continue;
    }
    ASSERT_EQ(Convert(cii, "back.xml"), "0000") << item;
    EXPECT_NE(test::ReadFile(Path("back.xml")).find(element), std::string::npos) << item;
  }
}

TEST_P(XmlConverterTest, RandomBytesNeverCrash) {
  Format();
  std::mt19937 random(7);
  for (int round = 0; round < 30; ++round) {
    std::string cii = test::CiiGroup(test::GroupHeader("BP000001", "0101", "M S"[round % 3]), {MessageWithEverything()});
    for (int flips = 0; flips < 6; ++flips) cii[random() % cii.size()] = static_cast<char>(random());
    cii.resize(random() % (cii.size() + 1));
    test::WriteFile(Path("r.CII"), cii);
    std::string result;
    ConvertCiiXmlFile(state_, db_, Path("r.CII"), Path("r.xml"), 1, result);
    std::string xml = cii + "<JPTRM>";
    xml[random() % xml.size()] = '<';
    test::WriteFile(Path("r.xml"), "<?xml version=\"1.0\"?>" + xml);
    ConvertCiiXmlFile(state_, db_, Path("r.xml"), Path("r2.CII"), 1, result);
  }
  SUCCEED();
}

TEST(GroupDocumentPath, PositionBeforeTheExtension) {
  EXPECT_EQ(GroupDocumentPath("/a.b/out.xml", 1), "/a.b/out.xml");
  EXPECT_EQ(GroupDocumentPath("/a.b/out.xml", 3), "/a.b/out3.xml");
  EXPECT_EQ(GroupDocumentPath("/a.b/out", 2), "/a.b/out2");
}

INSTANTIATE_TEST_SUITE_P(Backends, XmlConverterTest, ::testing::ValuesIn(test::TestBackends()));

}  // namespace
}  // namespace edi::cii
