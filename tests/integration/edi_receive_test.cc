// edi-receive on a demo station, as a scheduled run uses it.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "support/command.h"
#include "support/format_fixture.h"
#include "support/test_db.h"

namespace edi {
namespace {

namespace fs = std::filesystem;
using test::Command;
using test::CommandResult;

class EdiReceiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    station_ = test::TempDir("receive").string();
    ASSERT_EQ(Command(test::Program("edi-station") + " init " + station_ + " --demo").status, 0);
    receive_ = station_ + "/system/bin/edi-receive";
  }

  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  std::string station_, receive_;
};

TEST_F(EdiReceiveTest, EveryDemoCentreEndsDone) {
  CommandResult run = Command(receive_ + " --all --operator OP01");
  EXPECT_EQ(run.status, 0) << run.err;
  const auto lines = Lines(run.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "centres: 4, done: 4, error: 0");
  for (const char* code : {"DEMOM01", "DEMOW01", "DEMOW02", "DEMOZ01"}) {
    EXPECT_NE(run.out.find(std::string(code) + "\tOK\tOK\tOK\t2\n"), std::string::npos) << code;
  }
  EXPECT_EQ(lines[0], "DEMOM01\t\t\t\t1");
  EXPECT_EQ(lines[1], "DEMOM01\t受信中\t\t\t1");
  EXPECT_NE(test::ReadFile(station_ + "/command/EDI00000001.INI").find("/[EDI]OPERATOR=OP01\r\n"), std::string::npos);
}

TEST_F(EdiReceiveTest, ACentreInErrorMakesTheExitOne) {
  fs::remove(station_ + "/recv/DEMOW01/orders.CII");
  CommandResult run = Command(receive_ + " --centre DEMOW01 --centre=DEMOZ01");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("DEMOW01\t受信ｴﾗｰ\t\t\t9\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("DEMOZ01\tOK\tOK\tOK\t2\n"), std::string::npos);
  EXPECT_EQ(Lines(run.out).back(), "centres: 2, done: 1, error: 1");
  EXPECT_EQ(run.out.find("DEMOM01"), std::string::npos) << "only the named centres run";
}

TEST_F(EdiReceiveTest, UsageErrorsAndHelp) {
  EXPECT_EQ(Command(receive_).status, 2);
  EXPECT_EQ(Command(receive_ + " --all --centre DEMOW01").status, 2);
  EXPECT_EQ(Command(receive_ + " --all --bogus").status, 2);
  CommandResult run = Command(receive_ + " --centre NOSUCH");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("NOSUCH"), std::string::npos);
  EXPECT_EQ(Command(receive_ + " --centre DEMOS01").status, 2) << "partner kind 2 is not listed";
  CommandResult help = Command(receive_ + " --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--centre CODE"), std::string::npos);
  EXPECT_NE(help.out.find("exit status"), std::string::npos);
}

TEST_F(EdiReceiveTest, StartUpFailuresAndAnEmptyListExitOne) {
  CommandResult run = Command("sqlite3 " + station_ + "/data/edi.sqlite \"UPDATE FL1903EDI制御マスタ SET 相手先種別 = '2'\"");
  ASSERT_EQ(run.status, 0);
  run = Command(receive_ + " --all");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("該当するデータがありませんでした"), std::string::npos);
  fs::remove(station_ + "/EDI.ini");
  run = Command(receive_ + " --all");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("INIﾌｧｲﾙ読込エラー"), std::string::npos);
}

}  // namespace
}  // namespace edi
