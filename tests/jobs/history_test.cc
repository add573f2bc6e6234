#include "jobs/history.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "support/test_db.h"

namespace edi {
namespace {

class HistoryTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override { ASSERT_TRUE(test::OpenEmptyTestDatabase(GetParam(), db_)) << db_.LastError(); }

  long long Open(const std::string& centre = "C01") {
    TransferOpenRecord r{"R", "1", "01", centre, 0};
    EXPECT_TRUE(OpenTransfer(db_, r).ok());
    return r.transferNo;
  }

  ResultSet Row(long long no, int branch) {
    ResultSet rs;
    EXPECT_TRUE(db_.Query(
        "SELECT * FROM FL1102処理履歴ファイル WHERE 通番 = :1 AND 枝番 = :2",
        {no, static_cast<long long>(branch)}, rs));
    return rs;
  }

  size_t RowCount() {
    ResultSet rs;
    EXPECT_TRUE(db_.Query("SELECT 通番 FROM FL1102処理履歴ファイル", {}, rs));
    return rs.RowCount();
  }

  Database db_;
};

TEST_P(HistoryTest, NumbersStartAtOneAndFollowTheHighestRow) {
  EXPECT_EQ(Open(), 1);
  StepStartRecord step{1, "R", "1", "10", "C01", 0};
  EXPECT_TRUE(StartHistoryStep(db_, step).ok());
  EXPECT_EQ(step.branchNo, 1);
  StartHistoryStep(db_, step);
  EXPECT_EQ(step.branchNo, 2);
  // A gap is never filled: the next number follows the highest one.
  ASSERT_TRUE(db_.ExecuteSql("INSERT INTO FL1102処理履歴ファイル (通番, 枝番) VALUES (10, 3)"));
  EXPECT_EQ(Open(), 11);
  StepStartRecord first{11, "R", "1", "10", "C01", 0};
  StartHistoryStep(db_, first);
  EXPECT_EQ(first.branchNo, 1);
}

TEST_P(HistoryTest, OpenWritesTheBranchZeroRowWithOneClockReading) {
  int calls = 0;
  Clock clock = [&] {
    ++calls;
    return calls == 1 ? LocalTime{"2026/12/08", "23:59:59"} : LocalTime{"2026/12/09", "00:00:00"};
  };
  TransferOpenRecord r{"R", "1", "01", "C01", 0};
  ASSERT_TRUE(OpenTransfer(db_, r, clock).ok());
  EXPECT_EQ(calls, 1);
  ResultSet rs = Row(r.transferNo, 0);
  ASSERT_FALSE(rs.AtEnd());
  EXPECT_EQ(rs.Get("処理開始日付"), "2026/12/08");
  EXPECT_EQ(rs.Get("処理開始時刻"), "23:59:59");
  EXPECT_EQ(rs.Get("送受信種別"), "R");
  EXPECT_EQ(rs.Get("処理種別"), "01");
  EXPECT_EQ(rs.Get("センターコード"), "C01");
  EXPECT_EQ(rs.Get("終了コード"), std::nullopt);
}

TEST_P(HistoryTest, StepBlanksEmptyCodesAndRefusesTransferZero) {
  const long long no = Open();
  StepStartRecord step{no, "", "", "", "C01", 0};
  ASSERT_TRUE(StartHistoryStep(db_, step).ok());
  EXPECT_EQ(step.direction, " ");
  EXPECT_EQ(step.processKind, " ");
  EXPECT_EQ(Row(no, step.branchNo).Get("相手先種別"), " ");

  const size_t before = RowCount();
  StepStartRecord zero{0, "R", "1", "10", "C01", 0};
  EXPECT_EQ(StartHistoryStep(db_, zero).endCode, "9999");
  EXPECT_EQ(RowCount(), before);
}

TEST_P(HistoryTest, CloseWritesEndColumnsWithDefaults) {
  const long long no = Open();
  RowCloseRecord close;
  close.transferNo = no;
  close.branchNo = 0;
  close.inputRecords = 12;
  close.outputFileSize = 3456;
  close.detailCode = "0002";
  ASSERT_TRUE(CloseHistoryRow(db_, close, [] { return LocalTime{"2026/12/08", "10:11:12"}; }).ok());
  EXPECT_EQ(close.endCode, "0000");
  EXPECT_EQ(close.bpid, " ");
  ResultSet rs = Row(no, 0);
  EXPECT_EQ(rs.Get("処理終了日付"), "2026/12/08");
  EXPECT_EQ(rs.Get("処理終了時刻"), "10:11:12");
  EXPECT_EQ(rs.Get("終了コード"), "0000");
  EXPECT_EQ(rs.Get("詳細コード"), "0002");
  EXPECT_EQ(rs.Get("ファイル名"), " ");
  EXPECT_EQ(rs.Get("相手先企業コード"), " ");
  EXPECT_EQ(rs.Get("入力レコード数"), "12");
  EXPECT_EQ(rs.Get("出力ファイルサイズ"), "3456");
}

TEST_P(HistoryTest, ClosingAMissingRowWritesNothingAndFails) {
  const long long no = Open();
  RowCloseRecord close;
  close.transferNo = no;
  close.branchNo = 7;
  close.endCode = "0000";
  const Outcome closed = CloseHistoryRow(db_, close);
  EXPECT_EQ(closed.endCode, "9999");
  EXPECT_NE(closed.reason.find("枝番 7"), std::string::npos) << closed.reason;
  EXPECT_EQ(close.endCode, "9999");
  EXPECT_EQ(RowCount(), 1u);
  EXPECT_EQ(Row(no, 0).Get("終了コード"), std::nullopt);

  RowCloseRecord zero;
  EXPECT_FALSE(CloseHistoryRow(db_, zero).ok());
  // A failure of the database comes with the driver's message.
  ASSERT_TRUE(db_.ExecuteSql("DROP TABLE FL1102処理履歴ファイル"));
  TransferOpenRecord r{"R", "1", "01", "C01", 0};
  const Outcome opened = OpenTransfer(db_, r);
  EXPECT_EQ(opened.endCode, "9999");
  EXPECT_NE(opened.reason.find(db_.LastError()), std::string::npos) << opened.reason;
  EXPECT_FALSE(db_.LastError().empty());
}

TEST_P(HistoryTest, StepKindsFollowTheFileName) {
  const long long no = Open();
  StepStartRecord step{no, "R", "1", "", "C01", 0};
  StartCiiXmlStep(db_, "00000001_RCV_C01_________.cii", step);
  EXPECT_EQ(step.processKind, "33");
  StartCiiXmlStep(db_, "a.xml", step);
  EXPECT_EQ(step.processKind, "34");
  StartLocalFormatStep(db_, "A.CII", step);
  EXPECT_EQ(step.processKind, "31");
  StartLocalFormatStep(db_, "A.CIIX", step);
  EXPECT_EQ(step.processKind, "32");
  EXPECT_EQ(Row(no, step.branchNo).Get("処理種別"), "32");

  RowCloseRecord close;
  close.transferNo = no;
  close.branchNo = step.branchNo;
  CloseHistoryRowWithFile(db_, "/srv/in/A.CIIX", close);
  EXPECT_EQ(Row(no, step.branchNo).Get("ファイル名"), "/srv/in/A.CIIX");
}

TEST_P(HistoryTest, QuotesInTextsAreData) {
  TransferOpenRecord r{"R", "1", "01", "O'BRIEN", 0};
  ASSERT_TRUE(OpenTransfer(db_, r).ok());
  EXPECT_EQ(Row(r.transferNo, 0).Get("センターコード"), "O'BRIEN");
}

// Two stations sharing one database open transfers at the same time: every
// transfer gets its own number.
TEST_P(HistoryTest, RacingStationsNeverShareATransferNumber) {
  constexpr int kPerStation = 25;
  std::vector<long long> numbers[2];
  int failures[2] = {0, 0};
  auto station = [&](int s) {
    Database db;
    if (!test::OpenSecondConnection(GetParam(), db)) {
      failures[s] = kPerStation;
      return;
    }
    for (int i = 0; i < kPerStation; ++i) {
      TransferOpenRecord r{"R", "1", "01", "S" + std::to_string(s), 0};
      if (OpenTransfer(db, r).ok()) numbers[s].push_back(r.transferNo); else ++failures[s];
    }
  };
  std::thread a(station, 0), b(station, 1);
  a.join();
  b.join();
  std::set<long long> all(numbers[0].begin(), numbers[0].end());
  all.insert(numbers[1].begin(), numbers[1].end());
  EXPECT_EQ(all.size(), numbers[0].size() + numbers[1].size());
  EXPECT_EQ(RowCount(), numbers[0].size() + numbers[1].size());
  // Retries absorb the collisions; at most a few allocations may give up.
  EXPECT_LE(failures[0] + failures[1], 2);
}

INSTANTIATE_TEST_SUITE_P(Backends, HistoryTest, ::testing::ValuesIn(test::TestBackends()));

}  // namespace
}  // namespace edi
