// edi-receive on a demo station, as a scheduled run uses it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "support/command.h"
#include "support/format_fixture.h"
#include "support/jx_server.h"
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
    test::DropDemoJxCentre(station_);
    receive_ = station_ + "/system/bin/edi-receive";
  }

  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  // Starts `command` in the background; its pid is the program's own.
  static pid_t Start(const std::string& command) {
    const pid_t pid = fork();
    if (pid == 0) {
      execl("/bin/sh", "sh", "-c", ("exec " + command + " >/dev/null 2>&1").c_str(), nullptr);
      _exit(127);
    }
    return pid;
  }

  static int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Waits up to ten seconds for `file` to appear.
  static bool Appears(const std::string& file) {
    for (int i = 0; i < 200 && !fs::exists(file); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return fs::exists(file);
  }

  std::string Sql(const std::string& query) {
    return Command("sqlite3 " + station_ + "/data/edi.sqlite " + test::Quoted(query)).out;
  }

  void SetKey(const std::string& key, const std::string& value) {
    const std::string ini = test::ReadFile(station_ + "/EDI.ini");
    test::WriteFile(station_ + "/EDI.ini",
                    std::regex_replace(ini, std::regex("(^|\n)" + key + "=[^\r\n]*"), "$1" + key + "=" + value));
  }

  void SlowPackage(int milliseconds) {
    std::ofstream(station_ + "/nts/program/z_tcp-standin.ini", std::ios::app)
        << "DELAY_MS=" << milliseconds << "\n";
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

TEST_F(EdiReceiveTest, TwoRunsOfOneCentreNeverOverlap) {
  SlowPackage(2000);
  const pid_t first = Start(receive_ + " --centre DEMOZ01");
  ASSERT_TRUE(Appears(station_ + "/nts/program/Zkeyin.dat"));
  CommandResult second = Command(receive_ + " --centre DEMOZ01");
  EXPECT_EQ(second.status, 1);
  EXPECT_NE(second.err.find("skipped"), std::string::npos) << second.err;
  EXPECT_EQ(Wait(first), 0);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM FL1102処理履歴ファイル WHERE 枝番 = 0"), "1\n") << "the second took nothing";
}

TEST_F(EdiReceiveTest, ARunKilledInAnyStageIsRecoveredByTheNext) {
  // Killed while the package runs: the next run (whichever centre it runs)
  // closes the transfer as interrupted in its receive; the file the package
  // still brought in is taken in by the centre's next transfer.
  SlowPackage(1500);
  pid_t run = Start(receive_ + " --centre DEMOZ01");
  ASSERT_TRUE(Appears(station_ + "/nts/program/Zkeyin.dat"));
  kill(run, SIGKILL);
  Wait(run);
  // Killed while the translator runs: nobody knows whether it registered.
  SetKey("MGCMDLINEKR", "sleep 3; " + station_ + "/system/bin/edi-translator-standin --in " + station_ + "/in/");
  run = Start(receive_ + " --centre DEMOW02");
  ASSERT_TRUE(Appears(station_ + "/command/EDI00000002.INI"));
  kill(run, SIGKILL);
  Wait(run);
  CommandResult next = Command(receive_ + " --centre DEMOW01");
  EXPECT_NE(next.out.find("recovered\tDEMOW02\t00000002\t8100/0000"), std::string::npos) << next.out;
  EXPECT_EQ(Sql("SELECT 終了コード || '/' || 詳細コード FROM FL1102処理履歴ファイル WHERE 通番 = 1 AND 枝番 = 0"),
            "8000/0001\n");
  EXPECT_TRUE(fs::exists(station_ + "/old/00000002_RCV_DEMOW02_____.CII")) << "the received files are backed up";
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM FL9102処理中転送"), "0\n");
  SetKey("MGCMDLINEKR", station_ + "/system/bin/edi-translator-standin --in " + station_ + "/in/");
  next = Command(receive_ + " --centre DEMOZ01");
  EXPECT_EQ(next.status, 0) << next.err;
  EXPECT_NE(next.err.find("taken in"), std::string::npos) << next.err;
}

TEST_F(EdiReceiveTest, SetUpErrorsComeBeforeAnyCentre) {
  EXPECT_EQ(Command(receive_ + " --all --operator " + test::Quoted("A\nB")).status, 2);
  EXPECT_EQ(Command(receive_ + " --all --operator " + std::string(65, 'A')).status, 2);
  SetKey("EDIINFIL", "");
  CommandResult run = Command(receive_ + " --all");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("EDIINFIL"), std::string::npos) << run.err;
  SetKey("EDIINFIL", station_ + "/in/");
  SetKey("OLD_FILE", station_ + "/no-such-folder/");
  run = Command(receive_ + " --all");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("OLD_FILE"), std::string::npos) << run.err;
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM FL1102処理履歴ファイル"), "0\n") << "nothing ran";
}

TEST_F(EdiReceiveTest, ABackupFolderThatIsFullFailsTheTransferAndKeepsTheFiles) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
  const std::string old = station_ + "/old";
  ASSERT_EQ(Command("mount -t tmpfs -o size=16k tmpfs " + old).status, 0);
  Command("dd if=/dev/zero of=" + old + "/fill bs=4k count=8");
  CommandResult run = Command(receive_ + " --centre DEMOW01");
  Command("umount " + old);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
  EXPECT_EQ(Sql("SELECT 終了コード FROM FL1102処理履歴ファイル WHERE 通番 = 1 AND 枝番 = 0"), "8200\n");
  EXPECT_TRUE(fs::exists(station_ + "/in/00000001_RCV_DEMOW01_____.CII"));
}

TEST_F(EdiReceiveTest, ARerunTakesTheBackupOrIsRefused) {
  SetKey("MGCMDLINEKR", station_ + "/system/bin/edi-translator-standin --in " + station_ + "/in/ --fail 0101=05");
  EXPECT_EQ(Command(receive_ + " --centre DEMOW01").status, 1);
  SetKey("MGCMDLINEKR", station_ + "/system/bin/edi-translator-standin --in " + station_ + "/in/");
  CommandResult run = Command(receive_ + " --rerun 1");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("DEMOW01\tOK\tOK\tOK\t2\n"), std::string::npos) << run.out;
  EXPECT_EQ(Sql("SELECT 再処理元通番 FROM FL9101受信ファイル台帳 WHERE 通番 = 2"), "1\n");
  EXPECT_NE(Command("LC_ALL=C " + test::Program("edi-station") + " history " + station_ + " --transfer 2")
                .out.find("re-run of 通番 1"),
            std::string::npos);
  fs::remove(station_ + "/old/00000001_RCV_DEMOW01_____.CII");
  run = Command(receive_ + " --rerun 1");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("refused"), std::string::npos) << run.err;
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM FL1102処理履歴ファイル WHERE 枝番 = 0"), "2\n") << "nothing ran";
  EXPECT_EQ(Command(receive_ + " --rerun 1 --all").status, 2);
  EXPECT_EQ(Command(receive_ + " --all --registration-checked").status, 2);
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
