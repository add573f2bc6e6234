#include <gtest/gtest.h>

#include <map>

#include "cii/syntax/cii_writer.h"
#include "cii/local_converter.h"
#include "support/converter_fixture.h"
#include "support/format_fixture.h"
#include "support/test_db.h"

namespace edi::cii {
namespace {

using test::FormatRowSpec;

const std::string kFullSpaces5 = "\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40";

class CiiToLocalTest : public test::ConverterFixture {
 protected:

  void BasicFormat(const std::string& info = "0101", const std::string& nLocal = "N", int nLength = 5,
                   int nDecimals = 0) {
    test::InsertFormat(db_, info, "BP000001",
                       {{1, 101, 0, 1, "X", 5}, {2, 102, 0, 2, "9", 7, 2}, {3, 103, 0, 3, "Y", 6},
                        {4, 104, 0, 4, "K", 10}},
                       {{101, 1, 0, 0, "X", 5, 0, 0, "1"}, {102, 2, 0, 0, nLocal, nLength, nDecimals, 0, "6"},
                        {103, 3, 0, 0, "Y", 8, 0, 0, std::to_string(6 + nLength + (nDecimals ? 1 : 0))},
                        {104, 4, 0, 0, "K", 10, 0, 0, std::to_string(14 + nLength + (nDecimals ? 1 : 0))}});
  }

  std::string Convert(const std::string& cii) {
    test::WriteFile((dir_ / "in.CII").string(), cii);
    std::string result;
    ConvertLocalCii(state_, db_, 12, "2", (dir_ / "in.CII").string(), (dir_ / "R.LOC").string(), result);
    return result;
  }

  std::string Output(const std::string& info = "0101") { return test::ReadFile((dir_ / ("R" + info + ".LOC")).string()); }

  static std::string Body(std::initializer_list<std::pair<uint32_t, std::string>> elements) {
    MessageBody body;
    for (const auto& [tag, value] : elements) EXPECT_EQ(body.AppendElement(tag, value), 0);
    return std::string(body.bytes());
  }

  static std::string Key(const std::string& info) {
    return "     " + info + "      " + "SENDER      " + "RECEIVER    ";
  }

};

TEST_P(CiiToLocalTest, OneLinePerMessageWithTheRecordKey) {
  BasicFormat();
  auto header = test::GroupHeader("BP000001", "0101", 'M');
  EXPECT_EQ(Convert(test::CiiGroup(header, {Body({{1, "AB"}, {2, "12345"}, {3, "991231"}, {4, "\x88\x9F"}}),
                                            Body({{3, "101231"}})})),
            "0000");
  EXPECT_EQ(Output(), Key("0101") + "AB   00123" + "19991231" + "\x88\x9F\x81\x40\x81\x40\x81\x40\x81\x40" + "\r\n" +
                          Key("0101") + "     00000" + "20101231" + kFullSpaces5 + "\r\n");
  EXPECT_EQ(Log().substr(0, 25), "0000--M470540 start--0000");
}

TEST_P(CiiToLocalTest, NumbersTakeTheLocalFieldsOwnLayout) {
  BasicFormat("0101", "9", 7, 2);
  auto header = test::GroupHeader("BP000001", "0101", 'M');
  EXPECT_EQ(Convert(test::CiiGroup(header, {Body({{2, "12345"}})})), "0000");
  EXPECT_EQ(Output().substr(39, 13), "     00123.45");
}

TEST_P(CiiToLocalTest, NumberTooLargeForItsFieldStops) {
  test::InsertFormat(db_, "0101", "BP000001", {{1, 101, 0, 1, "9", 7, 0}}, {{101, 1, 0, 0, "N", 3, 0, 0, "1"}});
  auto header = test::GroupHeader("BP000001", "0101", 'M');
  EXPECT_EQ(Convert(test::CiiGroup(header, {Body({{1, "1234"}})})), "0019");
}

TEST_P(CiiToLocalTest, TwoCategoriesGiveTwoFiles) {
  BasicFormat("0101");
  BasicFormat("0202");
  std::string cii = test::CiiGroup(test::GroupHeader("BP000001", "0101", 'M'), {Body({{1, "A"}})}) +
                    test::CiiGroup(test::GroupHeader("BP000001", "0202", 'S'), {Body({{1, "B"}})});
  // Each output is told to the journal before it is written: created, then
  // appended to with its former size.
  struct : OutputJournal {
    bool Record(const std::string& file, long long formerSize, std::string&) override {
      records.push_back(std::filesystem::path(file).filename().string() + " " + std::to_string(formerSize));
      return true;
    }
    std::vector<std::string> records;
  } journal;
  state_.outputJournal = &journal;
  EXPECT_EQ(Convert(cii), "0000");
  EXPECT_EQ(Output("0101").substr(0, 40), Key("0101") + "A");
  EXPECT_EQ(Output("0202").substr(0, 40), Key("0202") + "B");
  const std::string size = std::to_string(Output("0101").size());
  EXPECT_EQ(Convert(cii), "0000");
  EXPECT_EQ(journal.records, (std::vector<std::string>{"R0101.LOC -1", "R0202.LOC -1", "R0101.LOC " + size,
                                                       "R0202.LOC " + std::to_string(Output("0202").size() / 2)}));
  state_.outputJournal = nullptr;
}

TEST_P(CiiToLocalTest, LengthMismatchIsLoggedAndTheLineWritten) {
  BasicFormat();
  std::string cii = test::CiiGroup(test::GroupHeader("BP000001", "0101", 'M'), {Body({{1, "A"}})});
  cii[251 + 8] = static_cast<char>(cii[251 + 8] + 1);  // one byte too long
  EXPECT_EQ(Convert(cii), "0000");
  EXPECT_NE(Log().find("0012長さ違い\r\n"), std::string::npos);
  EXPECT_EQ(Output().substr(0, 40), Key("0101") + "A");
}

TEST_P(CiiToLocalTest, NoDataGroupsWriteNothing) {
  BasicFormat();
  std::string cii = test::CiiGroup(test::GroupHeader("BP000001", "0101", 'M', 'M', "20"),
                                   {Body({{1, std::string(600, 'x')}}), Body({{1, "B"}})});
  EXPECT_EQ(Convert(cii), "0000");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "R0101.LOC"));
}

TEST_P(CiiToLocalTest, UnknownTagIsLoggedAndTheNextElementConverted) {
  BasicFormat();
  EXPECT_EQ(Convert(test::CiiGroup(test::GroupHeader("BP000001", "0101", 'M'),
                                   {Body({{9, "zz"}, {1, "OK"}})})),
            "0000");
  EXPECT_NE(Log().find("0010\r\n"), std::string::npos);
  EXPECT_EQ(Output().substr(39, 10), "OK   00000");
}

TEST_P(CiiToLocalTest, FormatErrorsStopAtOnce) {
  EXPECT_EQ(Convert(test::CiiGroup(test::GroupHeader("BP000001", "0101", 'M'), {Body({{1, "A"}})})), "0001");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "R0101.LOC"));
  test::InsertFormat(db_, "0101", "BP000001", {}, {{101, 1, 0, 0, "X", 5, 0, 0, "1"}});
  EXPECT_EQ(Convert(test::CiiGroup(test::GroupHeader("BP000001", "0101", 'M'), {Body({{1, "A"}})})), "0003");
  // A second group whose format fails stops before its messages, and the
  // failed conversion takes back what the first group wrote.
  BasicFormat("0202");
  std::string cii = test::CiiGroup(test::GroupHeader("BP000001", "0202", 'M'), {Body({{1, "A"}})}) +
                    test::CiiGroup(test::GroupHeader("BP000001", "0303", 'M'), {Body({{1, "B"}})});
  EXPECT_EQ(Convert(cii), "0001");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "R0202.LOC"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "R0303.LOC"));
  // A table that cannot be read: 0020 with the driver's own message.
  ASSERT_TRUE(db_.ExecuteSql("DROP TABLE FL1902フォーマット情報マスタ"));
  EXPECT_EQ(Convert(cii), "0020");
  EXPECT_NE(Log().find("0020 "), std::string::npos) << Log();
  EXPECT_NE(Log().find(db_.LastError()), std::string::npos) << Log();
}

TEST_P(CiiToLocalTest, TruncatedFileIsAnError) {
  BasicFormat();
  std::string cii = test::CiiGroup(test::GroupHeader("BP000001", "0101", 'M'), {Body({{1, std::string(300, 'x')}})});
  cii.resize(251 + 260);
  EXPECT_EQ(Convert(cii), "0007");
}

TEST_P(CiiToLocalTest, UnknownStorageModeIsRejected) {
  BasicFormat();
  std::string cii = test::CiiGroup(test::GroupHeader("BP000001", "0101", 'Q'), {});
  EXPECT_EQ(Convert(cii + std::string(600, '9')), "0016");
}

// A group of 2 repetitions holding a field and an inner group of 2, then a
// sibling group: every occurrence lands at its own place.
TEST_P(CiiToLocalTest, NestedAndSiblingGroupsLandInsideTheRecord) {
  test::InsertFormat(db_, "0101", "BP000001",
                     {{1, 101, 0, 0, "M", 0, 0, 2},
                      {2, 102, 1, 5, "X", 2},
                      {3, 103, 1, 0, "M", 0, 0, 2},
                      {4, 104, 2, 6, "X", 1},
                      {5, 105, 0, 0, "M", 0, 0, 1},
                      {6, 106, 1, 7, "X", 3}},
                     {{101, 1, 0, 0, "M", 0, 0, 2, "1"},
                      {102, 2, 1, 0, "X", 2, 0, 0, "1"},
                      {103, 3, 1, 0, "M", 0, 0, 2, "3"},
                      {104, 4, 2, 0, "X", 1, 0, 0, "3"},
                      {105, 5, 0, 0, "M", 0, 0, 1, "9"},
                      {106, 6, 1, 0, "X", 3, 0, 0, "9"}});
  MessageBody b;
  EXPECT_TRUE(b.AppendGroupStart("", false));
  EXPECT_EQ(b.AppendElement(5, "a1"), 0);
  EXPECT_TRUE(b.AppendGroupStart("", false));
  EXPECT_EQ(b.AppendElement(6, "p"), 0);
  b.AppendRepetition();
  EXPECT_EQ(b.AppendElement(6, "q"), 0);
  b.AppendGroupEnd();
  b.AppendRepetition();
  EXPECT_EQ(b.AppendElement(5, "a2"), 0);
  EXPECT_TRUE(b.AppendGroupStart("", false));
  EXPECT_EQ(b.AppendElement(6, "r"), 0);
  b.AppendRepetition();
  EXPECT_EQ(b.AppendElement(6, "s"), 0);
  b.AppendRepetition();  // a third inner repetition: no room, dropped
  EXPECT_EQ(b.AppendElement(6, "t"), 0);
  b.AppendGroupEnd();
  b.AppendGroupEnd();
  EXPECT_TRUE(b.AppendGroupStart("", false));
  EXPECT_EQ(b.AppendElement(7, "SIB"), 0);
  b.AppendGroupEnd();
  b.AppendGroupEnd();  // one 0xFC too many
  EXPECT_EQ(Convert(test::CiiGroup(test::GroupHeader("BP000001", "0101", 'M'), {std::string(b.bytes())})), "0000");
  EXPECT_EQ(Output().substr(39, 11), "a1pqa2rsSIB");
  EXPECT_NE(Log().find("0018\r\n"), std::string::npos);
  EXPECT_NE(Log().find("0017\r\n"), std::string::npos);
}

TEST_P(CiiToLocalTest, ExtendedModeFindsGroupsByTheirNumber) {
  test::InsertFormat(db_, "0101", "BP000001",
                     {{1, 101, 0, 300, "X", 2}, {2, 102, 0, 0, "M", 0, 0, 1, "", "A"}, {3, 103, 1, 6, "X", 1},
                      {4, 104, 0, 0, "M", 0, 0, 1, "", "500"}, {5, 105, 1, 6, "X", 1}},
                     {{101, 1, 0, 0, "X", 2, 0, 0, "1"}, {102, 2, 0, 0, "M", 0, 0, 1, "3"},
                      {103, 3, 1, 0, "X", 1, 0, 0, "3"}, {104, 4, 0, 0, "M", 0, 0, 1, "4"},
                      {105, 5, 1, 0, "X", 1, 0, 0, "4"}});
  MessageBody b;
  EXPECT_EQ(b.AppendElement(300, "ZZ"), 0);
  EXPECT_TRUE(b.AppendGroupStart("500", false));
  EXPECT_EQ(b.AppendElement(6, "y"), 0);
  b.AppendGroupEnd();
  EXPECT_TRUE(b.AppendGroupStart("A", false));
  EXPECT_EQ(b.AppendElement(6, "x"), 0);
  b.AppendGroupEnd();
  EXPECT_TRUE(b.AppendGroupStart("7", false));  // no such group: its elements are dropped
  EXPECT_EQ(b.AppendElement(6, "!"), 0);
  b.AppendGroupEnd();
  EXPECT_EQ(Convert(test::CiiGroup(test::GroupHeader("BP000001", "0101", 'S'), {std::string(b.bytes())})), "0000");
  EXPECT_EQ(Output().substr(39, 4), "ZZxy");
}

TEST_P(CiiToLocalTest, LongValuesAreCutToTheirField) {
  BasicFormat();
  EXPECT_EQ(Convert(test::CiiGroup(test::GroupHeader("BP000001", "0101", 'M'),
                                   {Body({{1, "ABCDEFG"}, {4, "\x88\x9F\x88\x9F\x88\x9F\x88\x9F\x88\x9F\x88\x9F"}})})),
            "0000");
  EXPECT_EQ(Output().substr(39, 5), "ABCDE");
  EXPECT_EQ(Output().substr(39 + 18, 10), "\x88\x9F\x88\x9F\x88\x9F\x88\x9F\x88\x9F");
  EXPECT_EQ(Output().size(), 39u + 28u + 2u);
}

// Converting bytes in memory writes what the file entry writes and keeps
// nothing when it fails; with reuseFormats a later conversion of the same
// group takes the rows it holds instead of the tables.
TEST_P(CiiToLocalTest, InMemoryTheSameLinesAndFormatsReusedOnRequest) {
  BasicFormat();
  const std::string cii = test::CiiGroup(test::GroupHeader("BP000001", "0101", 'M'), {Body({{1, "AB"}, {4, "\x88\x9F"}})});
  ASSERT_EQ(Convert(cii), "0000");
  ASSERT_TRUE(db_.ExecuteSql("DELETE FROM FL1903レコードフォーマット情報マスタ"));
  state_.reuseFormats = true;
  MemoryOutputs outputs;
  ASSERT_EQ(CiiToLocal(state_, db_, ConversionInput::Memory(cii), outputs, "R.LOC"), 0);
  EXPECT_EQ(outputs.kept, (std::map<std::string, std::string>{{"R0101.LOC", Output()}}));
  MemoryOutputs cut;
  EXPECT_EQ(CiiToLocal(state_, db_, ConversionInput::Memory(cii + cii.substr(0, 100)), cut, "R.LOC"), kErrTruncated);
  EXPECT_TRUE(cut.kept.empty());
  state_.reuseFormats = false;
  EXPECT_EQ(CiiToLocal(state_, db_, ConversionInput::Memory(cii), outputs, "R.LOC"), kErrNoCiiRows);
}

TEST_P(CiiToLocalTest, CategoryGoesBeforeTheFirstDotOfTheFileName) {
  EXPECT_EQ(LocalFileName("/srv/in.d/00000012_RCV_C1.LOC", "0101"), "/srv/in.d/00000012_RCV_C10101.LOC");
  EXPECT_EQ(LocalFileName("R.LOC", "0101"), "R0101.LOC");
  EXPECT_EQ(LocalFileName("/a.b/R", "0101"), "/a.b/R0101");
}

INSTANTIATE_TEST_SUITE_P(Backends, CiiToLocalTest, ::testing::ValuesIn(test::TestBackends()));

}  // namespace
}  // namespace edi::cii
