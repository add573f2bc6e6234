#include "report/history_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "base/ansi_codec.h"
#include "report/display_width.h"
#include "report/err_log_lines.h"
#include "report/history_format.h"
#include "station/housekeeping.h"
#include "support/test_db.h"

namespace edi::report {
namespace {

// A history with four stories, on every test backend:
//   1 O'NEIL  done                         2026/12/01
//   2 ZC01    stopped before registration  2026/12/02
//   3 ZC01    conversion failed, code 0019 2026/12/03
//   4 ＺＣ全角 registration failed          2026/12/04
class HistoryReportTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::OpenEmptyTestDatabase(GetParam(), db_));
    Centre("O'NEIL", "オニール商会");
    Centre("ZC01", "部品センター");
    Centre("ZC02", "全角センター");
    Row(1, 0, "01", "O'NEIL", "2026/12/01", true, "0000", "0000", "");
    Row(1, 1, "10", "O'NEIL", "2026/12/01", true, "0000", "0000", "");
    Row(1, 2, "31", "O'NEIL", "2026/12/01", true, "0000", "0000", "in/00000001.CII");
    Row(1, 3, "41", "O'NEIL", "2026/12/01", true, "0000", "0000", "in/00000001_0101.LOC");
    Row(2, 0, "01", "ZC01", "2026/12/02", false, "", "", "");
    Row(2, 1, "10", "ZC01", "2026/12/02", true, "0000", "0000", "");
    Row(2, 2, "31", "ZC01", "2026/12/02", true, "0000", "0000", "in/00000002.CII");
    Row(3, 0, "01", "ZC01", "2026/12/03", true, "9999", "0000", "");
    Row(3, 1, "10", "ZC01", "2026/12/03", true, "0000", "0000", "");
    Row(3, 2, "31", "ZC01", "2026/12/03", true, "9999", "0019", "in/00000003.CII");
    Row(4, 0, "01", "ZC02", "2026/12/04", true, "9999", "0000", "");
    Row(4, 1, "10", "ZC02", "2026/12/04", true, "0000", "0000", "");
    Row(4, 2, "41", "ZC02", "2026/12/04", true, "9999", "0012", "in/ｶﾅ名前_0101.LOC");
  }

  void Centre(const std::string& code, const std::string& name) {
    ASSERT_TRUE(db_.ExecuteSql("INSERT INTO FL1903EDI制御マスタ (センターコード, センター名, 相手先種別) VALUES (:1, :2, '1')",
                               {code, name}));
  }
  void Row(long long transfer, long long branch, const std::string& kind, const std::string& centre,
           const std::string& date, bool closed, const std::string& end, const std::string& detail,
           const std::string& file) {
    const SqlParam endDate = closed ? SqlParam(date) : SqlParam(std::monostate());
    ASSERT_TRUE(db_.ExecuteSql(
        "INSERT INTO FL1102処理履歴ファイル (通番, 枝番, 送受信種別, 相手先種別, 処理種別, 処理開始日付, 処理開始時刻,"
        " センターコード, 処理終了日付, 処理終了時刻, 終了コード, 詳細コード, ファイル名, 入力レコード数, 出力レコード数)"
        " VALUES (:1, :2, 'R', '1', :3, :4, '09:00:00', :5, :6, '09:00:05', :7, :8, :9, 12, 10)",
        {transfer, branch, kind, date, centre, endDate, closed ? SqlParam(end) : SqlParam(std::monostate()),
         closed ? SqlParam(detail) : SqlParam(std::monostate()), file}))
        << db_.LastError();
  }

  std::vector<TransferStory> Read(const HistoryFilter& filter = {}) {
    std::vector<TransferStory> stories;
    std::string error;
    EXPECT_TRUE(ReadHistory(db_, filter, stories, error)) << error;
    return stories;
  }
  static std::string Numbers(const std::vector<TransferStory>& stories) {
    std::string out;
    for (const auto& s : stories) out += std::to_string(s.transferNo);
    return out;
  }

  Database db_;
};

TEST_P(HistoryReportTest, JudgesEachTransferNewestFirst) {
  const auto stories = Read();
  ASSERT_EQ(Numbers(stories), "4321");
  EXPECT_EQ(stories[3].ending, Ending::kDone);
  EXPECT_EQ(stories[3].steps.size(), 3u);
  EXPECT_EQ(stories[3].centreName, "オニール商会");
  EXPECT_EQ(stories[2].ending, Ending::kStopped);
  EXPECT_EQ(stories[2].failedBranch, 2);  // stopped after the conversion, before registration
  EXPECT_EQ(stories[1].ending, Ending::kFailed);
  EXPECT_EQ(stories[1].failedBranch, 2);
  EXPECT_EQ(stories[0].ending, Ending::kFailed);
  EXPECT_EQ(stories[0].failedBranch, 2);
}

TEST_P(HistoryReportTest, FiltersByTransferCentreDatesAndFailure) {
  HistoryFilter byTransfer;
  byTransfer.transferNo = 3;
  EXPECT_EQ(Numbers(Read(byTransfer)), "3");
  HistoryFilter quoted;
  quoted.centreCode = "O'NEIL";
  EXPECT_EQ(Numbers(Read(quoted)), "1");
  HistoryFilter centre;
  centre.centreCode = "ZC01";
  EXPECT_EQ(Numbers(Read(centre)), "32");
  HistoryFilter dates;
  dates.since = "2026/12/02";
  dates.until = "2026/12/03";
  EXPECT_EQ(Numbers(Read(dates)), "32");
  HistoryFilter failed;
  failed.failedOnly = true;
  EXPECT_EQ(Numbers(Read(failed)), "432");
  HistoryFilter none;
  none.centreCode = "NOBODY";
  EXPECT_TRUE(Read(none).empty());
}

TEST_P(HistoryReportTest, TextNamesTheFailingStepWithTheMeaningOfItsCode) {
  const std::string text = FormatHistoryText(Read());
  EXPECT_NE(text.find("通番 3  2026/12/03 09:00:00  ZC01 部品センター  failed at 枝番 2 (ローカル変換(CII)): 9999/0019 "),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("stopped after 枝番 2"), std::string::npos);
  EXPECT_NE(text.find("9999 failed"), std::string::npos);
  EXPECT_NE(text.find("O'NEIL オニール商会  done"), std::string::npos);
}

TEST_P(HistoryReportTest, TextColumnsLineUpCountingFullWidthAsTwo) {
  std::istringstream lines(FormatHistoryText(Read()));
  std::vector<size_t> fileColumn;
  for (std::string line; std::getline(lines, line);) {
    const size_t at = line.find("in/");
    if (at != std::string::npos) fileColumn.push_back(DisplayWidth(line.substr(0, at)));
  }
  ASSERT_EQ(fileColumn.size(), 5u);
  for (size_t column : fileColumn) EXPECT_EQ(column, fileColumn[0]);
}

TEST_P(HistoryReportTest, CsvHasEveryColumnAndOneLinePerHistoryRow) {
  const std::string csv = FormatHistoryCsv(Read());
  std::istringstream lines(csv);
  std::string header;
  std::getline(lines, header);
  EXPECT_EQ(header.rfind("通番,枝番,送受信種別", 0), 0u);
  for (std::string_view column : kHistoryColumns) EXPECT_NE(header.find(column), std::string::npos) << column;
  size_t rows = 0;
  for (std::string line; std::getline(lines, line);) ++rows;
  EXPECT_EQ(rows, 13u);
}

TEST_P(HistoryReportTest, CleaningKeepsWhatFailedAndWhatIsRecent) {
  ProgramState state;
  state.paths.oldFile = test::TempDir("clean").string() + "/";
  std::vector<std::string> done;
  std::string why;
  CleanOptions options;
  options.keepDays = 7;  // on 2026/12/10: transfers of 12/03 and later stay
  options.dryRun = true;
  ASSERT_TRUE(CleanOldRecords(db_, state, options, "2026/12/10", done, why)) << why;
  EXPECT_EQ(done, std::vector<std::string>{"would remove transfer 1 (2026/12/01 O'NEIL, done)"});
  EXPECT_EQ(Numbers(Read()), "4321") << "a dry run removes nothing";
  options.dryRun = false;
  ASSERT_TRUE(CleanOldRecords(db_, state, options, "2026/12/10", done, why)) << why;
  EXPECT_EQ(Numbers(Read()), "432") << "the stopped transfer 2 stays";
  options.includeFailed = true;
  done.clear();
  ASSERT_TRUE(CleanOldRecords(db_, state, options, "2026/12/10", done, why)) << why;
  EXPECT_EQ(Numbers(Read()), "43");
}

TEST_P(HistoryReportTest, JsonStaysUtf8WhateverBytesANameHolds) {
  if (GetParam() == "postgres") GTEST_SKIP() << "PostgreSQL keeps only valid UTF-8";
  ASSERT_TRUE(db_.ExecuteSql("UPDATE FL1903EDI制御マスタ SET センター名 = :1 WHERE センターコード = 'ZC01'",
                             {std::string("\x82\xa0 half \xff")}));
  const std::string json = FormatHistoryJson(Read());
  EXPECT_TRUE(IsValidUtf8(json));
  EXPECT_NE(json.find("\xEF\xBF\xBD half \xEF\xBF\xBD"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Backends, HistoryReportTest, ::testing::ValuesIn(test::TestBackends()));

TEST(DisplayWidthTest, FullWidthCountsTwoAndHalfWidthKanaOne) {
  EXPECT_EQ(DisplayWidth("ABC"), 3u);
  EXPECT_EQ(DisplayWidth("全角"), 4u);
  EXPECT_EQ(DisplayWidth("ＴＣＰ"), 6u);
  EXPECT_EQ(DisplayWidth("ｶﾅ"), 2u);
  EXPECT_EQ(PadToWidth("全", 4), "全  ");
}

TEST(ErrLogLinesTest, TakesTheSectionsOfTheTransferUpToTheNextStartLine) {
  const auto dir = test::TempDir("errlog");
  {
    std::ofstream log(dir / "ERR.LOG", std::ios::binary);
    log << "0000--M470540 start--00000007  2026/12/08 09:00:00\r\n"
           "0019--数値項目エラー line 2\r\n"
           "0000--M470540 start--00000008  2026/12/08 09:01:00\r\n"
           "0035--not CII\r\n"
           "0000--M470530 start--00000007\r\n"
           "0007--group without trailer\r\n";
  }
  const auto lines = ErrLogLinesOf(dir / "ERR.LOG", 7);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "0019--数値項目エラー line 2");
  EXPECT_EQ(lines[3], "0007--group without trailer");
  EXPECT_TRUE(ErrLogLinesOf(dir / "missing.LOG", 7).empty());
}

}  // namespace
}  // namespace edi::report
