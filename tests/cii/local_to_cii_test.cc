#include <gtest/gtest.h>

#include <filesystem>

#include "cii/syntax/cii_layout.h"
#include "cii/syntax/cii_reader.h"
#include "cii/local_converter.h"
#include "support/converter_fixture.h"
#include "support/format_fixture.h"
#include "support/recording_visitor.h"
#include "support/test_db.h"

namespace edi::cii {
namespace {

using test::FormatRowSpec;

class LocalToCiiTest : public test::ConverterFixture {
 protected:

  // X 5 | 9 5.2 | Y 6 (to an 8-byte CII date) | K 10 | group of 2 x (X 3, N 4)
  void Format(const std::string& storage = "M", const std::string& code16 = "M") {
    test::InsertFormat(db_, "0101", "BP000001",
                       {{1, 0, 0, 1, "X", 5}, {2, 0, 0, 2, "9", 5, 2}, {3, 0, 0, 3, "Y", 8},
                        {4, 0, 0, 4, "K", 10}, {5, 0, 0, 0, "M", 0, 0, 2, "", "1"}, {6, 0, 1, 6, "X", 3},
                        {7, 0, 1, 7, "N", 4}, {8, 0, 0, 8, "B", 2}},
                       {{101, 1, 0, 0, "X", 5, 0, 0, "1"}, {102, 2, 0, 0, "9", 5, 2, 0, "6"},
                        {103, 3, 0, 0, "Y", 6, 0, 0, "12"}, {104, 4, 0, 0, "K", 10, 0, 0, "18"},
                        {105, 5, 0, 0, "M", 0, 0, 2, "28"}, {106, 6, 1, 0, "X", 3, 0, 0, "28"},
                        {107, 7, 1, 0, "N", 4, 0, 0, "31"}, {108, 8, 0, 0, "B", 2, 0, 0, "42"}},
                       storage);
    test::InsertMessageGroup(db_, "PARTNER", "OWNCO", "0101", "BP000001", storage, code16);
  }

  static std::string TrimmedPartner(const std::string& p) { return p.substr(0, p.find(' ')); }

  static std::string Line(const std::string& record, const std::string& partner = "PARTNER     ") {
    return "     0101      OWNCO       " + partner + record;
  }

  std::string Convert(const std::string& local, const std::string& out = "out.CII") {
    test::WriteFile((dir_ / "in.LOC").string(), local);
    std::string result;
    ConvertLocalCii(state_, db_, 3, "1", (dir_ / "in.LOC").string(), (dir_ / out).string(), result);
    return result;
  }

  // The CII written, which must read back without damage.
  test::RecordingVisitor Read(const std::string& name = "out.CII") {
    ReadOutcome outcome;
    auto c = test::RecordFile(Path(name), &outcome);
    EXPECT_EQ(outcome, ReadOutcome::kComplete);
    EXPECT_TRUE(c.errors.empty()) << (c.errors.empty() ? "" : c.errors.front());
    for (const auto& line : c.lines) EXPECT_NE(line.rfind("end ", 0), 0u) << "length mismatch";
    return c;
  }
};

const std::string kRecord =
    "AB   012.34991231\x88\x9F\x81\x40\x81\x40\x81\x40\x81\x40" "P1 0012P2 0000" "\x01\x02";

TEST_P(LocalToCiiTest, ElementsByAttribute) {
  Format();
  ASSERT_EQ(Convert(Line(kRecord) + "\r\n"), "0000");
  auto c = Read();
  ASSERT_EQ(c.messages.size(), 1u);
  std::vector<std::string> expected = {"1=AB", "2=1234", "3=19991231", "4=\x88\x9F\x81\x40\x81\x40\x81\x40\x81\x40",
                                       "{250", "6=P1", "7=12", "|", "6=P2", "}", "8=\x01\x02"};
  EXPECT_EQ(c.messages[0], expected);
  ASSERT_EQ(c.headers.size(), 1u);
  const std::string& h = c.headers[0];
  EXPECT_EQ(h.substr(0, 1), "P");
  EXPECT_EQ(h.substr(25, 12), "OWNCO       ");
  EXPECT_EQ(h.substr(73, 8), "BP000001");
  EXPECT_EQ(h.substr(93, 4), "0101");
  EXPECT_EQ(h.substr(100, 5), "   11");
  EXPECT_EQ(h.substr(105, 10), "REF0000001");
  EXPECT_EQ(h.substr(146, 3), "M1M");
  EXPECT_EQ(h.substr(161, 18), "A01A02A03B01B02B03");
  EXPECT_EQ(c.trailers, std::vector<std::string>{"00001"});
}

TEST_P(LocalToCiiTest, OneGroupPerKeyBlankLinesSkippedAndAppending) {
  Format();
  test::WriteFile((dir_ / "out.CII").string(), "EARLIER");
  ASSERT_EQ(Convert(Line(kRecord) + "\r\n   \r\n" + Line(kRecord) + "\r\n"), "0000");
  const std::string bytes = test::ReadFile((dir_ / "out.CII").string());
  EXPECT_EQ(bytes.substr(0, 7), "EARLIER");
  test::WriteFile((dir_ / "check.CII").string(), bytes.substr(7));
  auto c = Read("check.CII");
  EXPECT_EQ(c.messages.size(), 2u);
  EXPECT_EQ(c.trailers, std::vector<std::string>{"00002"});
}

TEST_P(LocalToCiiTest, EmptyFileWritesNothing) {
  Format();
  ASSERT_EQ(Convert(""), "0000");
  EXPECT_EQ(test::ReadFile((dir_ / "out.CII").string()), "");
}

TEST_P(LocalToCiiTest, ZeroNumbersAndEmptyDatesAreOmitted) {
  Format();
  std::string record = "     000.00000000\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40" + std::string(14, ' ') + "  ";
  ASSERT_EQ(Convert(Line(record) + "\r\n"), "0000");
  auto c = Read();
  ASSERT_EQ(c.messages.size(), 1u);
  EXPECT_EQ(c.messages[0][0].substr(0, 2), "4=");  // X, 9 and Y left out
}

TEST_P(LocalToCiiTest, ExactDecimalScaling) {
  test::InsertFormat(db_, "0101", "BP000001", {{1, 0, 0, 1, "9", 5, 2}}, {{101, 1, 0, 0, "9", 4, 2, 0, "1"}});
  test::InsertMessageGroup(db_, "PARTNER", "OWNCO", "0101", "BP000001", "M");
  ASSERT_EQ(Convert(Line("01.15") + "\r\n"), "0000");
  EXPECT_EQ(Read().messages[0], std::vector<std::string>{"1=115"});
}

TEST_P(LocalToCiiTest, MissingTablesGiveTheirCodes) {
  EXPECT_EQ(Convert(Line(kRecord)), "0001");
  test::InsertMessageGroup(db_, "PARTNER", "OWNCO", "0101", "BP000001", "M");
  EXPECT_EQ(Convert(Line(kRecord)), "0002");
  test::InsertFormat(db_, "0101", "BP000001", {}, {});
  EXPECT_EQ(Convert(Line(kRecord)), "0003");
}

TEST_P(LocalToCiiTest, MultiDetailNumberWithoutMarkerFormStops) {
  test::InsertFormat(db_, "0101", "BP000001",
                     {{1, 0, 0, 300, "X", 1}, {2, 0, 0, 0, "M", 0, 0, 1, "", "7000000"}, {3, 0, 1, 6, "X", 1}},
                     {{101, 1, 0, 0, "X", 1, 0, 0, "1"}, {102, 2, 0, 0, "M", 0, 0, 1, "2"},
                      {103, 3, 1, 0, "X", 1, 0, 0, "2"}});
  test::InsertMessageGroup(db_, "PARTNER", "OWNCO", "0101", "BP000001", "M");
  EXPECT_EQ(Convert(Line("ab")), "0005");
}

// Every item number a tag carries is written and read back into its line;
// one no tag carries stops the conversion with 0034 and leaves no output.
TEST_P(LocalToCiiTest, ItemNumbersAtTheLimitsOfTheTagForms) {
  const struct {
    int item;
    const char* result;
  } kCases[] = {{61439, "0000"}, {61440, "0034"}, {65535, "0034"},  {65536, "0000"},
                {65537, "0000"}, {70000, "0000"}, {524287, "0000"}, {524288, "0034"}};
  int category = 910;
  for (const auto& [item, expected] : kCases) {
    const std::string info = "0" + std::to_string(category++);
    test::InsertFormat(db_, info, "BP000001", {{1, 0, 0, item, "X", 5}}, {{101, 1, 0, 0, "X", 5, 0, 0, "1"}});
    test::InsertMessageGroup(db_, "PARTNER", "OWNCO", info, "BP000001", "M");
    const std::string line = "     " + info + "      OWNCO       PARTNER     ITEM \r\n";
    const std::string cii = info + ".CII";
    ASSERT_EQ(Convert(line, cii), expected) << item;
    if (std::string(expected) != "0000") {
      EXPECT_FALSE(std::filesystem::exists(Path(cii))) << item;
      continue;
    }
    EXPECT_EQ(Read(cii).messages, std::vector<std::vector<std::string>>{{std::to_string(item) + "=ITEM"}});
    std::string result;
    ConvertLocalCii(state_, db_, 3, "2", Path(cii), Path("back.LOC"), result);
    ASSERT_EQ(result, "0000") << item;
    EXPECT_EQ(test::ReadFile(Path("back" + info + ".LOC")), line) << item;
  }
  EXPECT_NE(Log().find("0034\r\n"), std::string::npos);
}

// Local records -> CII -> local records give the original records, in both
// storage modes and all three two-byte codings.
TEST_P(LocalToCiiTest, RoundTripsThroughCii) {
  Format();
  for (const char* storage : {"M", "S"}) {
    for (const char* code16 : {"M", "S", "U"}) {
      const std::string partner = std::string("P") + storage + code16 + "         ";
      test::InsertMessageGroup(db_, TrimmedPartner(partner), "OWNCO", "0101", "BP000001", storage, code16);
      dir_ = test::TempDir("roundtrip");
      std::string records;
      for (int i = 0; i < 40; ++i) {
        std::string x = "R" + std::to_string(i) + "    ";
        records += Line(x.substr(0, 5) + "123.45" + (i % 2 ? "991231" : "101231") +
                            "\x93\xfa\x96\x7b\x8c\xea\x81\x40\x81\x40" + "P" + std::to_string(i % 10) +
                            " " + "0001" + (i % 3 ? "QQ " "9999" : "   0000") + "\x05\x06",
                        partner) +
                   "\r\n";
      }
      records += Line("Z    000.00000000\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40" "   0000   0000  ", partner) +
                 "\r\n";
      ASSERT_EQ(Convert(records), "0000") << storage << code16;
      std::string result;
      ConvertLocalCii(state_, db_, 3, "2", (dir_ / "out.CII").string(), (dir_ / "back.LOC").string(), result);
      ASSERT_EQ(result, "0000") << storage << code16;
      // The key comes back from the header: sender = own company, receiver = partner.
      ASSERT_EQ(test::ReadFile((dir_ / "back0101.LOC").string()), records) << storage << code16;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, LocalToCiiTest, ::testing::ValuesIn(test::TestBackends()));

}  // namespace
}  // namespace edi::cii
