// edi-station history as an operator runs it, over a demo station after a
// receive of every centre and a failing one.
#include <gtest/gtest.h>

#include "station/station_setup.h"
#include "support/command.h"
#include "support/jx_server.h"
#include "support/test_db.h"

namespace edi {
namespace {

class HistoryCommandTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    station_ = new std::string(test::TempDir("history-cli").string() + "/station");
    ASSERT_EQ(test::Command(test::Program("edi-station") + " init " + test::Quoted(*station_) + " --demo").status, 0);
    test::DropDemoJxCentre(*station_);
    // Every demo centre once; then DEMOW01 again with a file that is no CII.
    ASSERT_EQ(test::Command(Receive("--all")).status, 0);
    test::Command("printf 'not a CII file' > " + test::Quoted(*station_ + "/recv/DEMOW01/orders.CII"));
    test::Command(Receive("--centre DEMOW01"));
  }
  static void TearDownTestSuite() { delete station_; }
  static std::string Receive(const std::string& args) {
    return test::Quoted(*station_ + "/system/bin/edi-receive") + " " + args;
  }
  static test::CommandResult History(const std::string& args) {
    return test::Command("LC_ALL=C " + test::Program("edi-station") + " history " + test::Quoted(*station_) + " " + args);
  }
  static std::string* station_;
};
std::string* HistoryCommandTest::station_ = nullptr;

TEST_F(HistoryCommandTest, ListsEveryTransferAndSaysWhichFailed) {
  const auto all = History("");
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(all.out.rfind("通番 5 ", 0), 0u) << all.out;  // newest first
  EXPECT_NE(all.out.find("DEMOW01 デモ手動センター（ＣＩＩ）  failed at 枝番 2 (ローカル変換(CII)): 9999/"),
            std::string::npos)
      << all.out;
  const auto japanese = test::Command("LC_ALL=ja_JP.UTF-8 " + test::Program("edi-station") + " history " +
                                      test::Quoted(*station_));
  EXPECT_NE(japanese.out.find("正常終了"), std::string::npos) << "the locale's language";
  EXPECT_NE(japanese.out.find("異常終了 枝番 2"), std::string::npos);
  const auto failed = History("--failed");
  EXPECT_EQ(failed.out.find("通番 4 "), std::string::npos);
  EXPECT_NE(failed.out.find("通番 5 "), std::string::npos);
}

TEST_F(HistoryCommandTest, OneTransferShowsItsConverterLog) {
  const auto one = History("--transfer 5");
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_NE(one.out.find("ERR.LOG:"), std::string::npos) << one.out;
  EXPECT_NE(one.out.find("start--00000005"), std::string::npos);
  EXPECT_EQ(one.out.find("start--00000004"), std::string::npos);
}

TEST_F(HistoryCommandTest, CsvAndJsonParse) {
  const auto json = History("--format json");
  ASSERT_EQ(json.status, 0);
  const auto parsed = test::Command("echo " + test::Quoted(json.out) +
                                    " | python3 -c 'import json,sys; d=json.load(sys.stdin); "
                                    "print(len(d), d[0][\"outcome\"], d[-1][\"outcome\"])'");
  EXPECT_EQ(parsed.out, "5 failed done\n") << parsed.err;
  const auto csv = History("--format csv --centre DEMOW01");
  const auto rows = test::Command("echo " + test::Quoted(csv.out) +
                                  " | python3 -c 'import csv,sys; r=list(csv.DictReader(sys.stdin)); "
                                  "print(len(r), sorted(set(x[\"結果\"] for x in r)))'");
  EXPECT_EQ(rows.out, "7 ['done', 'failed']\n") << rows.err;
}

TEST_F(HistoryCommandTest, BadOptionsAreUsageErrors) {
  EXPECT_EQ(History("--since 2026-12-01").status, 2);
  EXPECT_EQ(History("--transfer x").status, 2);
  EXPECT_EQ(History("--format xml").status, 2);
  EXPECT_EQ(History("--bogus").status, 2);
  EXPECT_EQ(test::Command(test::Program("edi-station") + " history /nonexistent/station").status, 1);
}

}  // namespace
}  // namespace edi
