// A station that runs unattended: the alert mail after a failed run (to the
// test fixture's SMTP sink on 127.0.0.1), late centres, the status and the
// metrics, and the archives of old files.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#include "base/local_time.h"
#include "support/command.h"
#include "support/jx_server.h"
#include "support/format_fixture.h"
#include "support/test_db.h"

namespace edi {
namespace {

namespace fs = std::filesystem;
using test::Command;
using test::CommandResult;

std::map<std::string, std::string> Servers() {
  std::map<std::string, std::string> values;
  const char* dir = std::getenv("EDI_TEST_MAIL_DIR");
  std::ifstream in(std::string(dir == nullptr ? "" : dir) + "/servers.env");
  for (std::string line; std::getline(in, line);) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

class UnattendedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    station_ = test::TempDir("unattended").string();
    ASSERT_EQ(Command(test::Program("edi-station") + " init " + station_ + " --demo").status, 0);
    test::DropDemoJxCentre(station_);
    servers_ = Servers();
  }

  void Append(const std::string& text) { std::ofstream(station_ + "/EDI.ini", std::ios::app) << text; }
  void SetKey(const std::string& key, const std::string& value) {
    const std::string ini = test::ReadFile(station_ + "/EDI.ini");
    test::WriteFile(station_ + "/EDI.ini",
                    std::regex_replace(ini, std::regex("(^|\n)" + key + "=[^\r\n]*"), "$1" + key + "=" + value));
  }
  CommandResult Receive(const std::string& args) { return Command(station_ + "/system/bin/edi-receive " + args); }
  CommandResult Station(const std::string& command, const std::string& args = "", const std::string& env = "") {
    return Command(env + " " + test::Program("edi-station") + " " + command + " " + station_ + " " + args);
  }

  // The subjects and decoded bodies of what the SMTP sink received, and
  // the sink emptied.
  std::string TakeMail() {
    if (servers_.count("SMTP_MAILDIR") == 0) return "";
    const std::string script =
        "import email,glob,os,sys\n"
        "from email.header import decode_header, make_header\n"
        "for f in sorted(glob.glob(sys.argv[1] + '/new/*')):\n"
        "    m = email.message_from_binary_file(open(f, 'rb'))\n"
        "    os.remove(f)\n"
        "    print('SUBJECT', str(make_header(decode_header(m['Subject']))))\n"
        "    part = next(p for p in m.walk() if p.get_content_maintype() == 'text')\n"
        "    charset = (part.get_content_charset() or 'utf-8').replace('shift_jis', 'cp932')\n"
        "    print(part.get_payload(decode=True).decode(charset, errors='replace'))\n";
    test::WriteFile(station_ + "/read_mail.py", script);
    return Command("/usr/bin/python3 " + station_ + "/read_mail.py " + servers_["SMTP_MAILDIR"]).out;
  }

  std::string station_;
  std::map<std::string, std::string> servers_;
};

TEST_F(UnattendedTest, AFailedRunSendsOneAlertAndAFailedSendingChangesNothing) {
  if (servers_.count("SMTP_PORT") == 0) GTEST_SKIP() << "no SMTP sink";
  TakeMail();
  EXPECT_EQ(Receive("--centre DEMOW01").status, 0);
  EXPECT_EQ(TakeMail(), "") << "without [ALERT] nothing is sent";
  SetKey("SendURL", "smtp://127.0.0.1:" + servers_["SMTP_PORT"]);
  Append("[ALERT]\r\nMAILTO=ops@example.jp, chief@example.jp\r\n");
  fs::remove(station_ + "/recv/DEMOW02/orders.XML");  // DEMOW02 fails in its receive
  test::WriteFile(station_ + "/recv/DEMOW01/orders.CII", test::ReadFile(station_ + "/data/demo-orders.CII"));
  CommandResult run = Receive("--all");
  EXPECT_EQ(run.status, 1);
  const std::string mail = TakeMail();
  EXPECT_EQ(std::count(mail.begin(), mail.end(), '\n') > 0, true);
  EXPECT_NE(mail.find("SUBJECT EDI受信 異常:"), std::string::npos) << mail;
  EXPECT_NE(mail.find("1センター"), std::string::npos) << mail;
  EXPECT_NE(mail.find("DEMOW02"), std::string::npos) << mail;
  EXPECT_NE(mail.find("終了コード: 5100"), std::string::npos) << mail;
  EXPECT_NE(mail.find("orders.XML"), std::string::npos) << "the reason" << mail;
  EXPECT_NE(mail.find("ERR.LOG:"), std::string::npos) << mail;
  EXPECT_EQ(mail.find("SUBJECT", 10), std::string::npos) << "one mail";
  // A mail that cannot be sent is told, and the run's outcome stays.
  SetKey("SendURL", "smtp://127.0.0.1:1");
  run = Receive("--centre DEMOW02");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("alert mail"), std::string::npos) << run.err;
  EXPECT_NE(test::ReadFile(station_ + "/system/bin/ERR.LOG").find("警報"), std::string::npos);
}

TEST_F(UnattendedTest, LateCentresByTheClock) {
  Append("[EXPECT]\r\nDEMOZ01=08:30\r\nDEMOW01=10:00\r\n");
  // Monday 09:00: DEMOZ01 is late, DEMOW01 is not due yet.
  CommandResult late = Station("overdue", "", "EDI_TEST_NOW='2026/12/07 09:00:00'");
  EXPECT_EQ(late.status, 1);
  EXPECT_NE(late.out.find("DEMOZ01"), std::string::npos) << late.out;
  EXPECT_EQ(late.out.find("DEMOW01"), std::string::npos) << late.out;
  // Sunday is no working day.
  EXPECT_EQ(Station("overdue", "", "EDI_TEST_NOW='2026/12/06 23:00:00'").status, 0);
  // Done early today: on time all day.
  ASSERT_EQ(Receive("--centre DEMOZ01 --centre DEMOW01").status, 0);
  Append("");
  SetKey("DEMOW01", "10:00\r\nWORKDAYS=1234567");
  const std::string today = CurrentLocalTime().date;
  EXPECT_EQ(Station("overdue", "", "EDI_TEST_NOW='" + today + " 23:59:00'").status, 0);
}

TEST_F(UnattendedTest, StatusAndMetricsAfterAMixedRun) {
  SetKey("MAIL-TEXT", "x\r\n[METRICS]\r\nTEXTFILE=" + station_ + "/edi.prom");
  fs::remove(station_ + "/nts/program/z_tcp.exe");  // DEMOZ01 fails
  Receive("--all");
  CommandResult status = Station("status", "--format json");
  ASSERT_EQ(status.status, 0) << status.err;
  test::WriteFile(station_ + "/status.json", status.out);
  const CommandResult parsed = Command(
      "/usr/bin/python3 -c 'import json,sys; d={c[\"centre\"]: c for c in json.load(open(sys.argv[1]))};"
      " print(d[\"DEMOZ01\"][\"lastFailure\"][\"endCode\"], d[\"DEMOZ01\"][\"lastFailure\"][\"detailCode\"],"
      " d[\"DEMOM01\"][\"lastDone\"][\"outcome\"], d[\"DEMOW01\"][\"filesToday\"] > 0,"
      " \"z_tcp.exe\" in d[\"DEMOZ01\"][\"lastFailure\"][\"reason\"])' " + station_ + "/status.json");
  EXPECT_EQ(parsed.out, "5001 0001 done True True\n") << parsed.err << status.out;
  // The metrics file as node_exporter's parser reads it.
  const CommandResult metrics = Command(
      "/usr/bin/python3 -c 'import sys; from prometheus_client.parser import text_string_to_metric_families as f;"
      " s={(m.name, m.labels.get(\"centre\", \"\")): m.value for fam in f(open(sys.argv[1]).read()) for m in fam.samples};"
      " print(s[(\"edi_centre_last_transfer_failed\", \"DEMOZ01\")], s[(\"edi_run_duration_seconds\", \"\")] > 0,"
      " s[(\"edi_centre_received_files_today\", \"DEMOM01\")])' " + station_ + "/edi.prom");
  EXPECT_EQ(metrics.out, "1.0 True 1.0\n") << metrics.err << test::ReadFile(station_ + "/edi.prom");
  EXPECT_NE(Station("status").out.find("DEMOZ01"), std::string::npos);
}

TEST_F(UnattendedTest, OldBackupsGoIntoMonthlyArchivesAndAReRunFindsThem) {
  SetKey("MGCMDLINEKR", station_ + "/system/bin/edi-translator-standin --in " + station_ + "/in/ --fail 0101=05");
  ASSERT_EQ(Receive("--centre DEMOW01").status, 1);  // transfer 1 fails in its registration
  ASSERT_EQ(Receive("--centre DEMOZ01").status, 1);  // transfer 2
  // Backups of two past months.
  Command("touch -d '2026-09-10 12:00' " + station_ + "/old/00000001_*");
  Command("touch -d '2026-10-10 12:00' " + station_ + "/old/00000002_*");
  CommandResult archived = Station("archive", "--older-than 30");
  ASSERT_EQ(archived.status, 0) << archived.err;
  EXPECT_FALSE(fs::exists(station_ + "/old/00000001_RCV_DEMOW01_____.CII"));
  const CommandResult listed = Command("tar -tzf " + station_ + "/old/archive/backup-2026-09.tar.gz");
  EXPECT_NE(listed.out.find("00000001_RCV_DEMOW01_____.CII"), std::string::npos) << listed.out << archived.out;
  EXPECT_EQ(Command("tar -tzf " + station_ + "/old/archive/backup-2026-10.tar.gz").status, 0);
  SetKey("MGCMDLINEKR", station_ + "/system/bin/edi-translator-standin --in " + station_ + "/in/");
  const CommandResult rerun = Receive("--rerun 1");
  EXPECT_EQ(rerun.status, 0) << rerun.err;
}

TEST_F(UnattendedTest, AnArchiveDiskThatFillsKeepsTheOriginals) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
  ASSERT_EQ(Receive("--centre DEMOW01").status, 0);
  Command("head -c 200000 /dev/urandom > " + station_ + "/old/00000001_zz_big");
  Command("touch -d '2026-09-10 12:00' " + station_ + "/old/00000001_*");
  fs::create_directories(station_ + "/old/archive");
  ASSERT_EQ(mount("tmpfs", (station_ + "/old/archive").c_str(), "tmpfs", 0, "size=16k"), 0);
  Command("dd if=/dev/urandom of=" + station_ + "/old/archive/fill bs=4k count=3");
  const CommandResult archived = Station("archive", "--older-than 30");
  umount((station_ + "/old/archive").c_str());
  EXPECT_EQ(archived.status, 1);
  EXPECT_TRUE(fs::exists(station_ + "/old/00000001_RCV_DEMOW01_____.CII")) << "the originals stay";
}

}  // namespace
}  // namespace edi
