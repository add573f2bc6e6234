// The station's main job over a demo station with the stand-ins for the TCP
// package and the translator: the history rows, the status texts and row
// states, and the files of the inbound and backup folders. It runs against
// the demo's SQLite database and against PostgreSQL through ODBC.
#include "jobs/run_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>

#include "db/null_value.h"
#include "jobs/backup.h"
#include "jobs/centre_lock.h"
#include "jobs/ledger.h"
#include "jobs/conversion.h"
#include "jobs/recovery.h"
#include "jobs/rerun.h"
#include "jobs/transfer_journal.h"
#include "jobs/registration_job.h"
#include "report/err_log_lines.h"
#include "startup/startup.h"
#include "station/demo_data.h"
#include "station/demo_transfers.h"
#include "station/station_setup.h"
#include "support/format_fixture.h"
#include "support/demo_station.h"
#include "support/test_db.h"

namespace edi {
namespace {

namespace fs = std::filesystem;

class QuietSink : public MessageSink {
 public:
  void ShowMessage(std::string_view text, std::string_view detail) override {
    ADD_FAILURE() << text << ": " << detail;
  }
};

class SilentMail : public MailProgress {
 public:
  void Open() override {}
  void AddStep(std::string_view) override {}
  void ShowError(std::string_view text) override { errors.emplace_back(text); }
  void Close() override {}
  std::vector<std::string> errors;
};

// Records what the window would show.
class RecordingView : public RunView {
 public:
  const std::vector<CentreRow>& Rows() const override { return rows; }
  void SetRunning(bool running) override { events.push_back(running ? "running" : "idle"); }
  void BeginRow(int row) override { events.push_back("row " + std::to_string(row)); }
  void SetStatus(int row, Stage stage, const std::string& text) override {
    rows[static_cast<size_t>(row)].Status(stage) = text;
    events.push_back("status " + std::to_string(row) + " " + text);
  }
  void SetRowState(int row, int16_t state) override {
    rows[static_cast<size_t>(row)].state = state;
    events.push_back("state " + std::to_string(row) + " " + std::to_string(state));
  }
  void Report(int, const StageReport& report) override { reports.push_back(report); }
  void ShowProcessing() override { ++shown; }
  void HideProcessing() override { ++hidden; }
  std::vector<CentreRow> rows;
  std::vector<std::string> events;
  std::vector<StageReport> reports;
  int shown = 0, hidden = 0;
};

// One history row, the columns the tests look at.
struct Step {
  int branch;
  std::string kind, end, detail, bpid, category, mode, file;
  long long in, out;
};

class RunLoopTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(test::MakeDemoStation("run", station_, error)) << error;
    QuietSink sink;
    ASSERT_TRUE(StartUp((station_ / "system/bin").string(), sink, state_, sqlite_));
    if (GetParam() == "postgres") {
      ASSERT_TRUE(test::OpenEmptyTestDatabase("postgres", postgres_));
      ASSERT_TRUE(InsertDemoData(postgres_, station_, DemoRows::kReplace, error)) << error;
      // As in the SQLite station: the JX centre needs a server these tests do not run.
      ASSERT_TRUE(postgres_.ExecuteSql("DELETE FROM FL1903EDI制御マスタ WHERE センターコード = 'DEMOJ01'"));
    }
    converters_.errLog = cii::ErrLog(station_ / "system/bin/ERR.LOG");
  }

  Database& db() { return GetParam() == "postgres" ? postgres_ : sqlite_; }

  std::string Path(const std::string& name) const { return (station_ / name).string(); }

  // Replaces key=value in EDI.ini.
  void SetKey(const std::string& key, const std::string& value) {
    const std::string ini = test::ReadFile(Path("EDI.ini"));
    test::WriteFile(Path("EDI.ini"), std::regex_replace(ini, std::regex("(^|\n)" + key + "=[^\r\n]*"), "$1" + key + "=" + value));
  }

  // Runs the centres `codes` as the run button does; returns their rows.
  std::map<std::string, CentreRow> Run(const std::vector<std::string>& codes) {
    EXPECT_TRUE(LoadCentreList(db(), view_.rows).ok());
    for (auto& row : view_.rows) {
      if (std::find(codes.begin(), codes.end(), row.centreCode) != codes.end()) row.selected = -1;
    }
    RunMarked();
    std::map<std::string, CentreRow> byCode;
    for (const auto& row : view_.rows) byCode[row.centreCode] = row;
    return byCode;
  }

  void RunMarked() { RunLoop(view_, Context()).RunMarkedCentres(); }

  const JobContext& Context() {
    context_ = std::make_unique<JobContext>(JobContext{db(), state_, converters_, "OP01", [] {}, mail_, dialogs_});
    return *context_;
  }

  // The reason the view was told for `step`, "" when none.
  std::string FailureOf(const std::string& step) {
    for (const auto& report : view_.reports) {
      if (report.kind == StageReport::Kind::kFailure && report.step == step) {
        return report.outcome.Codes() + " " + report.outcome.reason;
      }
    }
    return "";
  }

  // The ERR.LOG lines of the transfer, joined.
  std::string LogOf(long long transfer) {
    std::string text;
    for (const auto& line : report::ErrLogLinesOf(station_ / "system/bin/ERR.LOG", transfer)) text += line + "\n";
    return text;
  }

  // A translator that writes `status` as its status file.
  std::string FakeTranslator(const std::string& status) {
    const std::string script = Path("system/bin/fake-translator.sh");
    test::WriteFile(script, "f=$(sed -n 's/^\\/\\[EDI\\]STATUS_FILE=//p' \"${1#@}\" | tr -d '\\r')\nprintf '" +
                                status + "' > \"$f\"\n");
    return "sh " + script;
  }

  long long TransferOf(const std::string& centre) {
    ResultSet rs;
    EXPECT_TRUE(db().Query(
        "SELECT 通番 FROM FL1102処理履歴ファイル WHERE センターコード = :1 AND 枝番 = 0 ORDER BY 通番 DESC", {centre}, rs));
    return rs.AtEnd() ? 0 : std::stoll(*rs.Get("通番"));
  }

  std::vector<Step> History(long long transfer) {
    ResultSet rs;
    EXPECT_TRUE(db().Query(
        "SELECT * FROM FL1102処理履歴ファイル WHERE 通番 = :1 ORDER BY 枝番", {transfer}, rs));
    std::vector<Step> steps;
    for (; !rs.AtEnd(); rs.MoveNext()) {
      auto text = [&](const char* c) { return NullToDefault(rs.Get(c), "(null)"); };
      auto number = [&](const char* c) { return rs.Get(c) ? std::stoll(*rs.Get(c)) : -1LL; };
      steps.push_back({static_cast<int>(number("枝番")), text("処理種別"), text("終了コード"), text("詳細コード"),
                       text("BPID"), text("取引情報区分"), text("格納モード"), text("ファイル名"),
                       number("入力レコード数"), number("出力レコード数")});
    }
    return steps;
  }

  std::string Kinds(long long transfer) {
    std::string kinds;
    for (const auto& s : History(transfer)) kinds += (kinds.empty() ? "" : " ") + s.kind + ":" + s.end + "/" + s.detail;
    return kinds;
  }

  std::string Statuses(const CentreRow& r) {
    return r.receiveStatus + "|" + r.conversionStatus + "|" + r.registrationStatus + "|" + std::to_string(r.state);
  }

  fs::path station_;
  ProgramState state_;
  Database sqlite_, postgres_;
  cii::ConverterState converters_;
  SilentMail mail_;
  RecordingView view_;
  ConfiguredPathDialogs dialogs_;
  std::unique_ptr<JobContext> context_;
  std::string why_;
};

TEST_P(RunLoopTest, EveryDemoCentreIsReceivedConvertedRegisteredAndBackedUp) {
  auto rows = Run({"DEMOZ01", "DEMOM01", "DEMOW01", "DEMOW02"});
  for (const char* code : {"DEMOZ01", "DEMOM01", "DEMOW01", "DEMOW02"}) {
    EXPECT_EQ(Statuses(rows[code]), "OK|OK|OK|2") << code;
  }
  // DEMOM01 (mail, XML): receive, XML to CII, CII to local, registration.
  const long long mail = TransferOf("DEMOM01");
  auto steps = History(mail);
  ASSERT_EQ(steps.size(), 5u);
  EXPECT_EQ(Kinds(mail), "01:0000/0000 10:0000/0000 34:0000/0000 31:0000/0000 41:0000/0000");
  const std::string base = Path("in/") + "0000000" + std::to_string(mail) + "_RCV_DEMOM01_____";
  EXPECT_EQ(steps[2].file, base + ".XML");
  EXPECT_EQ(steps[2].bpid, "DEMO0001");
  EXPECT_EQ(steps[2].category, "0101");
  EXPECT_EQ(steps[2].mode, "M");
  EXPECT_EQ(steps[3].file, base + ".CII");
  EXPECT_EQ(steps[4].file, base + "0101.LOC");
  EXPECT_EQ(steps[4].category, "0101");
  EXPECT_EQ(steps[4].in, 2);
  EXPECT_EQ(steps[4].out, 2);
  EXPECT_EQ(steps[0].end, "0000") << "branch 0 is closed by the registration";
  // DEMOZ01 (TCP, CII): no XML step.
  EXPECT_EQ(Kinds(TransferOf("DEMOZ01")), "01:0000/0000 10:0000/0000 31:0000/0000 41:0000/0000");
  // The inbound files are copied to the backup, not moved.
  for (const auto& entry : fs::directory_iterator(station_ / "in")) {
    EXPECT_TRUE(fs::exists(station_ / "old" / entry.path().filename())) << entry.path();
  }
  EXPECT_TRUE(fs::exists(base + "0101.LOC"));
  EXPECT_EQ(view_.events.front(), "running");
  EXPECT_EQ(view_.events.back(), "idle");
  EXPECT_EQ(view_.hidden, 4);
}

TEST_P(RunLoopTest, StatusTextsComeBeforeEachStageAndTheStatesAfter) {
  Run({"DEMOW01"});
  const int row = 1;  // DEMOM01, DEMOW01, ... (DEMOS01 is not listed)
  ASSERT_EQ(view_.rows[row].centreCode, "DEMOW01");
  std::vector<std::string> expected = {"running",         "row 1",         "state 1 1",     "status 1 受信中",
                                       "status 1 OK",     "status 1 変換中", "status 1 OK",   "status 1 登録中",
                                       "status 1 OK",     "state 1 2",     "idle"};
  EXPECT_EQ(view_.events, expected);
}

TEST_P(RunLoopTest, AReceiveFailureLeavesTheLaterStatusesEmpty) {
  fs::remove(Path("recv/DEMOW01/orders.CII"));
  fs::create_directories(station_ / "in");
  // A file of transfer 1 left by an earlier run (a database restored from an
  // old copy): its number is not taken again, and the file stays as it is.
  test::WriteFile(Path("in/00000001_RCV_DEMOW01_____.CII"), "left by a broken earlier run");
  auto rows = Run({"DEMOW01"});
  EXPECT_EQ(Statuses(rows["DEMOW01"]), "受信ｴﾗｰ|||9");
  EXPECT_EQ(TransferOf("DEMOW01"), 2);
  EXPECT_EQ(Kinds(2), "01:(null)/(null) 10:5100/9999") << "branch 0 stays open";
  EXPECT_EQ(test::ReadFile(Path("in/00000001_RCV_DEMOW01_____.CII")), "left by a broken earlier run");
  EXPECT_FALSE(fs::exists(Path("old/00000001_RCV_DEMOW01_____.CII")));
}

TEST_P(RunLoopTest, TheTcpPackagesFailuresAre5001) {
  test::WriteFile(Path("nts/program/z_tcp-standin.ini"),
                  test::ReadFile(Path("nts/program/z_tcp-standin.ini")) + "STATUS=0105\n");
  auto rows = Run({"DEMOZ01"});
  EXPECT_EQ(Statuses(rows["DEMOZ01"]), "受信ｴﾗｰ|||9");
  EXPECT_EQ(Kinds(TransferOf("DEMOZ01")), "01:(null)/(null) 10:5001/0105");
}

TEST_P(RunLoopTest, EveryFailureTellsItsReasonInTheLogAndToTheView) {
  // The TCP package's program is missing: not a status of the package.
  fs::remove(Path("nts/program/z_tcp.exe"));
  Run({"DEMOZ01"});
  const long long tcp = TransferOf("DEMOZ01");
  EXPECT_EQ(Kinds(tcp), "01:(null)/(null) 10:5001/0001");
  EXPECT_NE(FailureOf("受信").find("z_tcp.exe: No such file or directory"), std::string::npos) << FailureOf("受信");
  EXPECT_NE(LogOf(tcp).find("5001 受信 5001/0001: "), std::string::npos) << LogOf(tcp);
  // A command file that cannot be written is not a translator that did not start.
  SetKey("PRPATH", Path("EDI.ini"));  // a file where a folder belongs
  Run({"DEMOW01"});
  const long long exchange = TransferOf("DEMOW01");
  EXPECT_EQ(History(exchange)[0].end + "/" + History(exchange)[0].detail, "4100/0003");
  EXPECT_NE(LogOf(exchange).find("4100 登録 4100/0003: the translator's command file"), std::string::npos)
      << LogOf(exchange);
  // A backup that fails names its files and fails the transfer with its own
  // code; the files stay in the inbound folder.
  SetKey("PRPATH", Path("command"));
  state_.paths.oldFile = Path("no-such-folder/");
  auto rows = Run({"DEMOW02"});
  EXPECT_EQ(Statuses(rows["DEMOW02"]), "OK|OK|OK|9");
  EXPECT_NE(FailureOf("バックアップ").find("no-such-folder"), std::string::npos) << FailureOf("バックアップ");
  const long long backup = TransferOf("DEMOW02");
  EXPECT_NE(LogOf(backup).find("バックアップ"), std::string::npos);
  EXPECT_EQ(History(backup)[0].end, "8200");
  EXPECT_EQ(History(backup).back().kind + ":" + History(backup).back().end, "50:8200");
  EXPECT_TRUE(fs::exists(Path("in/") + TransferFileName(backup, "DEMOW02", TransferFile::kReceivedCii)));
}

TEST_P(RunLoopTest, ARegistrationRowThatCannotBeWrittenIsNotOverwrittenByALaterSuccess) {
  // A translator that registers two data kinds, and a database that refuses
  // the first kind's row.
  SetKey("MGCMDLINEKR",
         FakeTranslator(" 0101            00000200000200\\r\\n 0102            00000100000100\\r\\n1\\r\\n"));
  if (GetParam() == "postgres") {
    ASSERT_TRUE(db().ExecuteSql(
        "CREATE OR REPLACE FUNCTION refuse_0101() RETURNS trigger AS $$ BEGIN IF NEW.処理種別 = '41' AND NEW.取引情報区分 = '0101' AND"
        " NEW.枝番 > 0 THEN RAISE EXCEPTION 'refused by the test'; END IF; RETURN NEW; END $$ LANGUAGE plpgsql"))
        << db().LastError();
    ASSERT_TRUE(db().ExecuteSql("CREATE TRIGGER refuse BEFORE UPDATE ON FL1102処理履歴ファイル FOR EACH ROW"
                                " EXECUTE FUNCTION refuse_0101()")) << db().LastError();
  } else {
    ASSERT_TRUE(db().ExecuteSql("CREATE TRIGGER refuse BEFORE UPDATE ON FL1102処理履歴ファイル WHEN"
                                " NEW.処理種別 = '41' AND NEW.取引情報区分 = '0101' BEGIN SELECT RAISE(ABORT, 'refused by the test'); END"))
        << db().LastError();
  }
  auto rows = Run({"DEMOW01"});
  EXPECT_EQ(rows["DEMOW01"].registrationStatus, "登録ｴﾗｰ");
  EXPECT_NE(FailureOf("登録").find("refused by the test"), std::string::npos) << FailureOf("登録");
  EXPECT_EQ(History(TransferOf("DEMOW01"))[0].end, "9999") << "branch 0 tells the failure";
}

TEST_P(RunLoopTest, MissingCentresAndPaths) {
  ASSERT_TRUE(db().ExecuteSql("UPDATE FL1903EDI制御マスタ SET NTS受信ファイルパス = '  ' WHERE センターコード = 'DEMOZ01'"));
  auto rows = Run({"DEMOZ01"});
  EXPECT_EQ(Kinds(TransferOf("DEMOZ01")), "01:(null)/(null) 10:6101/0000");
  // A centre that vanishes after the list was loaded.
  ASSERT_TRUE(LoadCentreList(db(), view_.rows).ok());
  ASSERT_TRUE(db().ExecuteSql("DELETE FROM FL1903EDI制御マスタ WHERE センターコード = 'DEMOW01'"));
  for (auto& row : view_.rows) row.selected = row.centreCode == "DEMOW01" ? -1 : 0;
  RunMarked();
  EXPECT_EQ(Kinds(TransferOf("DEMOW01")), "01:(null)/(null) 10:7002/0000");
}

TEST_P(RunLoopTest, AnXmlCentreWithoutXmlIsAConversionErrorWithoutConversionRows) {
  fs::remove(Path("mail/new/1765152000.demo1.edi-partner"));  // no mail: a receive without file
  auto rows = Run({"DEMOM01"});
  EXPECT_EQ(Statuses(rows["DEMOM01"]), "OK|変換ｴﾗｰ||9");
  EXPECT_EQ(Kinds(TransferOf("DEMOM01")), "01:(null)/(null) 10:0000/0000");
}

TEST_P(RunLoopTest, NothingReceivedForACiiCentreIsNothingToConvert) {
  // A mail centre of data format "C" that finds no mail.
  ASSERT_TRUE(db().ExecuteSql("UPDATE FL1903EDI制御マスタ SET 送受信データ形式 = 'C' WHERE センターコード = 'DEMOM01'"));
  fs::remove(Path("mail/new/1765152000.demo1.edi-partner"));
  auto rows = Run({"DEMOM01"});
  EXPECT_EQ(rows["DEMOM01"].conversionStatus, "OK");
  for (const auto& step : History(TransferOf("DEMOM01"))) {
    EXPECT_TRUE(step.kind == "01" || step.kind == "10" || step.kind == "41") << "no conversion row: " << step.kind;
  }
  EXPECT_NE(test::ReadFile(Path("system/bin/ERR.LOG")).find("nothing received"), std::string::npos);
}

TEST_P(RunLoopTest, AConverterFailureIsStoredWithItsCode) {
  std::string cii = test::ReadFile(Path("recv/DEMOW01/orders.CII"));
  cii.replace(2 + 73, 8, "NOFORMAT");  // a BPID without format rows
  test::WriteFile(Path("recv/DEMOW01/orders.CII"), cii);
  auto rows = Run({"DEMOW01"});
  EXPECT_EQ(Statuses(rows["DEMOW01"]), "OK|変換ｴﾗｰ||9");
  auto steps = History(TransferOf("DEMOW01"));
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_EQ(steps[2].kind, "31");
  EXPECT_EQ(steps[2].end, "9999");
  EXPECT_EQ(steps[2].detail, "0001");
  EXPECT_EQ(steps[2].bpid, "NOFORMAT");
}

TEST_P(RunLoopTest, TranslatorFailuresReachTheHistory) {
  SetKey("MGCMDLINEKR", Path("system/bin/no-such-translator"));
  auto rows = Run({"DEMOW01"});
  EXPECT_EQ(Statuses(rows["DEMOW01"]), "OK|OK|登録ｴﾗｰ|9");
  EXPECT_EQ(History(TransferOf("DEMOW01"))[0].end + "/" + History(TransferOf("DEMOW01"))[0].detail, "4100/0001");
  SetKey("MGCMDLINEKR", Path("system/bin/edi-translator-standin") + " --no-status");
  test::WriteFile(Path("recv/DEMOW02/orders.XML"), test::ReadFile(Path("data/demo-orders.xml")));
  rows = Run({"DEMOW02"});
  EXPECT_EQ(History(TransferOf("DEMOW02"))[0].end + "/" + History(TransferOf("DEMOW02"))[0].detail, "4100/0002");
  // A translator that hangs is ended at its time limit; the later centres run.
  SetKey("MGCMDLINEKR", "sleep 60;\r\nTRANSLATOR_TIMEOUT=1");
  test::WriteFile(Path("recv/DEMOW01/orders.CII"), test::ReadFile(Path("data/demo-orders.CII")));
  const auto start = std::chrono::steady_clock::now();
  rows = Run({"DEMOW01", "DEMOZ01"});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(History(TransferOf("DEMOW01"))[0].end + "/" + History(TransferOf("DEMOW01"))[0].detail, "4100/0004");
  EXPECT_EQ(rows["DEMOZ01"].registrationStatus, "登録ｴﾗｰ") << "the next centre ran";
  // A status file with only its end mark registered nothing.
  SetKey("MGCMDLINEKR", FakeTranslator("1\\r\\n"));
  test::WriteFile(Path("recv/DEMOW01/orders.CII"), test::ReadFile(Path("data/demo-orders.CII")));
  rows = Run({"DEMOW01"});
  EXPECT_EQ(rows["DEMOW01"].registrationStatus, "登録ｴﾗｰ");
  EXPECT_EQ(History(TransferOf("DEMOW01")).back().end + "/" + History(TransferOf("DEMOW01")).back().detail,
            "9999/0100");
}

TEST_P(RunLoopTest, AFailingStatusLineRecordsItsOwnCode) {
  SetKey("MGCMDLINEKR", Path("system/bin/edi-translator-standin") + " --in " + Path("in/") + " --fail 0101=05");
  auto rows = Run({"DEMOW01"});
  EXPECT_EQ(rows["DEMOW01"].registrationStatus, "登録ｴﾗｰ");
  auto steps = History(TransferOf("DEMOW01"));
  ASSERT_EQ(steps.back().kind, "41");
  EXPECT_EQ(steps.back().end, "9999");
  EXPECT_EQ(steps.back().detail, "0005");
  EXPECT_EQ(steps.back().in, 2);
  EXPECT_EQ(steps[0].end + "/" + steps[0].detail, "9999/0005");
}

TEST_P(RunLoopTest, NoUserCompanyIs7300) {
  ASSERT_TRUE(db().ExecuteSql("DELETE FROM FL1915センタ利用企業マスタ WHERE センターコード = 'DEMOW01'"));
  auto rows = Run({"DEMOW01"});
  EXPECT_EQ(rows["DEMOW01"].registrationStatus, "登録ｴﾗｰ");
  EXPECT_EQ(History(TransferOf("DEMOW01"))[0].end + "/" + History(TransferOf("DEMOW01"))[0].detail, "7300/0001");
  EXPECT_FALSE(fs::exists(Path("command/EDI" + std::string("0000000") + std::to_string(TransferOf("DEMOW01")) + ".INI")))
      << "no translator runs";
}

TEST_P(RunLoopTest, AnEmptyDataKindListGivesTwoLinesAndTheLocalFileIsUnlisted) {
  const std::string ini = test::ReadFile(Path("EDI.ini"));
  test::WriteFile(Path("EDI.ini"), std::regex_replace(ini, std::regex("\\[JKBN_K_J\\]\r\n0101\r\n"), "[JKBN_K_J]\r\n"));
  auto rows = Run({"DEMOW01"});
  const long long transfer = TransferOf("DEMOW01");
  const std::string command = test::ReadFile(Path("command/EDI0000000" + std::to_string(transfer) + ".INI"));
  EXPECT_EQ(command, "/[EDI]OPERATOR=OP01\r\n/[EDI]STATUS_FILE=" + Path("status") + "/0000000" +
                         std::to_string(transfer) + "_K_IN_STATUS.TXT\r\n");
  EXPECT_EQ(rows["DEMOW01"].registrationStatus, "登録ｴﾗｰ");
  auto steps = History(transfer);
  ASSERT_EQ(steps.back().kind, "41");
  EXPECT_EQ(steps.back().end + "/" + steps.back().detail, "9999/0003");
  EXPECT_EQ(steps.back().category, "0101");
  EXPECT_EQ(steps.back().file, Path("in/") + "0000000" + std::to_string(transfer) + "_RCV_DEMOW01_____0101.LOC");
  EXPECT_EQ(steps[0].end + "/" + steps[0].detail, "9999/0003");
}

TEST_P(RunLoopTest, TransferTwelveNamesItsFiles) {
  ASSERT_TRUE(db().ExecuteSql("INSERT INTO FL1102処理履歴ファイル (通番, 枝番) VALUES (11, 0)"));
  Run({"DEMOW01"});
  EXPECT_EQ(StatusFileName(12), "/00000012_K_IN_STATUS.TXT");
  EXPECT_EQ(CommandFileName(12), "/EDI00000012.INI");
  EXPECT_TRUE(fs::exists(Path("status/00000012_K_IN_STATUS.TXT")));
  EXPECT_TRUE(fs::exists(Path("command/EDI00000012.INI")));
}

TEST_P(RunLoopTest, ACentreCodeWithAnInnerBlank) {
  ASSERT_TRUE(db().ExecuteSql(
      "INSERT INTO FL1903EDI制御マスタ (センターコード, センター名, 送受信方式, 送受信データ形式, 相手先種別,"
      " NTS受信ファイルパス) VALUES ('AB C', 'blank', 'W', 'C', '1', :1)", {Path("recv/AB C.CII")}));
  ASSERT_TRUE(db().ExecuteSql("INSERT INTO FL1915センタ利用企業マスタ (センターコード, 相手先企業コード) VALUES ('AB C', 'C9')"));
  test::WriteFile(Path("recv/AB C.CII"), test::ReadFile(Path("recv/DEMOW01/orders.CII")));
  auto rows = Run({"AB C"});
  EXPECT_EQ(Statuses(rows["AB C"]), "OK|OK|OK|2");
  const std::string digits = "0000000" + std::to_string(TransferOf("AB C"));
  EXPECT_TRUE(fs::exists(Path("in/" + digits + "_RCV_AB_C________.CII")));
  EXPECT_TRUE(fs::exists(Path("in/" + digits + "_RCV_AB C________0101.LOC")));
  EXPECT_EQ(History(TransferOf("AB C")).back().file, Path("in/" + digits + "_RCV_AB C________0101.LOC"));
}

TEST_P(RunLoopTest, CentreCodesThatAreNoNamesAreRefusedAndLongOnesNamedAlike) {
  for (const char* code : {"../x", "A/B", "C\tD"}) {
    ASSERT_TRUE(db().ExecuteSql("INSERT INTO FL1903EDI制御マスタ (センターコード, センター名, 送受信方式, 送受信データ形式,"
                                " 相手先種別, NTS受信ファイルパス) VALUES (:1, 'bad', 'W', 'C', '1', '/etc/passwd')",
                                {std::string(code)}));
  }
  // A code of 14 characters (SQLite's texts have no length; PostgreSQL's
  // column holds 12): every stage cuts it to the same 12.
  const bool longCodes = GetParam() == "sqlite";
  if (longCodes) {
    ASSERT_TRUE(db().ExecuteSql(
      "INSERT INTO FL1903EDI制御マスタ (センターコード, センター名, 送受信方式, 送受信データ形式, 相手先種別,"
      " NTS受信相手先番号, NTS受信ファイル番号, NTS受信ファイルパス) VALUES ('ABCDEFGHIJKLMN', 'long', 'Z', 'C', '1',"
      " 1, 1, :1)", {Path("nts/recv/DEMOZ01.CII")}));
    ASSERT_TRUE(db().ExecuteSql("INSERT INTO FL1915センタ利用企業マスタ VALUES ('ABCDEFGHIJKLMN', 'C9')"));
  }
  auto rows = Run({"../x", "A/B", "C\tD", "ABCDEFGHIJKLMN"});
  for (const char* code : {"../x", "A/B", "C\tD"}) {
    EXPECT_EQ(Statuses(rows[code]), "受信ｴﾗｰ|||9") << code;
    EXPECT_EQ(Kinds(TransferOf(code)), "01:6102/0000") << code;
  }
  EXPECT_NE(FailureOf("通番").find("\"../x\""), std::string::npos) << FailureOf("通番");
  if (longCodes) {
    EXPECT_EQ(Statuses(rows["ABCDEFGHIJKLMN"]), "OK|OK|OK|2");
    EXPECT_TRUE(fs::exists(Path("in/") + TransferFileName(TransferOf("ABCDEFGHIJKLMN"), "ABCDEFGHIJKLMN",
                                                           TransferFile::kLocal, 1, "0101")));
  }
}

TEST_P(RunLoopTest, ACentreAnotherRunHoldsIsSkippedAndTakesNothing) {
  Database other;  // another station's session, or another process's lock file
  ASSERT_TRUE(GetParam() == "postgres" ? test::OpenSecondConnection("postgres", other) : true);
  std::string why;
  auto held = CentreLock::TryLock(GetParam() == "postgres" ? other : db(), state_, "DEMOW01", why);
  ASSERT_TRUE(held) << why;
  auto rows = Run({"DEMOW01", "DEMOW02"});
  EXPECT_EQ(Statuses(rows["DEMOW01"]), "ロック中|||0");
  EXPECT_EQ(TransferOf("DEMOW01"), 0) << "no transfer number, no history row";
  EXPECT_EQ(Statuses(rows["DEMOW02"]), "OK|OK|OK|2");
  held.reset();
  EXPECT_EQ(Statuses(Run({"DEMOW01"})["DEMOW01"]), "OK|OK|OK|2");
}

// A run killed while converting left its journal, an appended local file
// and a half-written new one, an open step row and an open transfer.
TEST_P(RunLoopTest, ATransferAKilledRunLeftIsRecoveredBeforeTheFirstCentre) {
  ASSERT_TRUE(db().ExecuteSql(
      "INSERT INTO FL1102処理履歴ファイル (通番, 枝番, 処理種別, センターコード) VALUES (5, 0, '01', 'DEMOW01'),"
      " (5, 1, '10', 'DEMOW01'), (5, 2, '31', 'DEMOW01')"));
  ASSERT_TRUE(db().ExecuteSql("UPDATE FL1102処理履歴ファイル SET 処理終了日付 = '2026/12/09', 終了コード = '0000'"
                              " WHERE 通番 = 5 AND 枝番 = 1"));
  ASSERT_TRUE(BeginJournal(db(), 5, "DEMOW01", StationName(state_)).ok());
  ASSERT_TRUE(SetJournalStage(db(), 5, kStageConversion).ok());
  const std::string cii = Path("in/00000005_RCV_DEMOW01_____.CII");
  const std::string appended = Path("in/00000005_RCV_DEMOW01_____0101.LOC");
  const std::string created = Path("in/00000005_RCV_DEMOW01_____0202.LOC");
  test::WriteFile(cii, "received");
  test::WriteFile(appended, "before|half of the conversion");
  test::WriteFile(created, "half");
  ASSERT_TRUE(JournalOutputFile(db(), 5, {appended, 7}).ok());
  ASSERT_TRUE(JournalOutputFile(db(), 5, {created, -1}).ok());
  // Another station's transfer under way is not this station's to recover.
  ASSERT_TRUE(BeginJournal(db(), 6, "DEMOW02", "elsewhere:/srv/edi").ok());
  Run({});
  EXPECT_EQ(test::ReadFile(appended), "before|") << "cut back to its former size";
  EXPECT_FALSE(fs::exists(created));
  EXPECT_EQ(test::ReadFile(Path("old/00000005_RCV_DEMOW01_____.CII")), "received");
  EXPECT_EQ(Kinds(5), "01:8000/0002 10:0000/(null) 31:8000/0002");
  std::vector<OpenTransferEntry> open;
  ASSERT_TRUE(ReadOpenTransfers(db(), StationName(state_), open, why_));
  EXPECT_TRUE(open.empty());
  ASSERT_TRUE(ReadOpenTransfers(db(), "elsewhere:/srv/edi", open, why_));
  EXPECT_EQ(open.size(), 1u);
  ASSERT_FALSE(view_.reports.empty());
  EXPECT_EQ(view_.reports[0].kind, StageReport::Kind::kRecovered);
  EXPECT_EQ(view_.rows[1].receiveStatus, "中断回復");
  // Killed while the translator ran, without a status file: the outcome is unknown.
  ASSERT_TRUE(db().ExecuteSql("INSERT INTO FL1102処理履歴ファイル (通番, 枝番, 処理種別, センターコード) VALUES (7, 0, '01', 'DEMOW02')"));
  ASSERT_TRUE(BeginJournal(db(), 7, "DEMOW02", StationName(state_)).ok());
  ASSERT_TRUE(SetJournalStage(db(), 7, kStageRegistration).ok());
  Run({});
  EXPECT_EQ(Kinds(7), "01:8100/0000");
}

TEST_P(RunLoopTest, TheBackupTakesOnlyTheTransfersRegularFiles) {
  test::WriteFile(Path("secret"), "not for the backup");
  fs::create_symlink(Path("secret"), Path("in/00000009_zz"));
  test::WriteFile(Path("in/00000009_RCV_DEMOW01_____.CII"), "received");
  const RunSettings settings;
  const Transfer transfer{9, "DEMOW01", {}, {}, {}, {}, state_.paths, settings};
  EXPECT_TRUE(BackUpTransferFiles(transfer).ok());
  EXPECT_FALSE(fs::exists(fs::symlink_status(Path("old/00000009_zz"))));
  EXPECT_EQ(test::ReadFile(Path("old/00000009_RCV_DEMOW01_____.CII")), "received");
}

TEST_P(RunLoopTest, AFailedTransferIsRerunFromItsBackupOnceItsCauseIsMended) {
  SetKey("MGCMDLINEKR", Path("system/bin/edi-translator-standin") + " --in " + Path("in/") + " --fail 0101=05");
  Run({"DEMOZ01"});
  const long long failed = TransferOf("DEMOZ01");
  ASSERT_EQ(History(failed)[0].end, "9999");
  SetKey("MGCMDLINEKR", Path("system/bin/edi-translator-standin") + " --in " + Path("in/"));
  RerunSource source;
  ASSERT_TRUE(PrepareRerun(db(), state_.paths, Path("old/archive/"), failed, false, source).ok());
  Run({});  // the rows afresh, nothing marked
  RunLoop(view_, Context()).Rerun(3, source);
  const long long rerun = TransferOf("DEMOZ01");
  EXPECT_EQ(Statuses(view_.rows[3]), "OK|OK|OK|2");
  EXPECT_EQ(test::ReadFile(Path("in/") + TransferFileName(rerun, "DEMOZ01", TransferFile::kLocal, 1, "0101")),
            test::ReadFile(Path("in/") + TransferFileName(failed, "DEMOZ01", TransferFile::kLocal, 1, "0101")))
      << "the same local records as the transfer it re-runs";
  std::vector<LedgerEntry> ledger;
  ASSERT_TRUE(ReadLedger(db(), rerun, ledger, why_));
  ASSERT_EQ(ledger.size(), 1u);
  EXPECT_EQ(ledger[0].rerunOf, failed);
  EXPECT_TRUE(ledger[0].duplicateOf == std::nullopt) << "never a duplicate of the transfer it re-runs";
  // A backup that changed, or went, cannot be re-run.
  const std::string backup = Path("old/") + TransferFileName(failed, "DEMOZ01", TransferFile::kReceivedCii);
  test::WriteFile(backup, test::ReadFile(backup) + "x");
  EXPECT_NE(PrepareRerun(db(), state_.paths, Path("old/archive/"), failed, false, source).reason.find("differs"), std::string::npos);
  fs::remove(backup);
  EXPECT_NE(PrepareRerun(db(), state_.paths, Path("old/archive/"), failed, false, source).reason.find("missing"), std::string::npos);
  // One whose registration's outcome is unknown needs the operator's word.
  ASSERT_TRUE(db().ExecuteSql("UPDATE FL1102処理履歴ファイル SET 終了コード = '8100' WHERE 通番 = :1 AND 枝番 = 0",
                              {rerun}));
  EXPECT_NE(PrepareRerun(db(), state_.paths, Path("old/archive/"), rerun, false, source).reason.find("--registration-checked"),
            std::string::npos);
  EXPECT_TRUE(PrepareRerun(db(), state_.paths, Path("old/archive/"), rerun, true, source).ok());
}

TEST_P(RunLoopTest, AFailedFetchIsTriedAgainOnlyWhenNothingWasReceived) {
  SetKey("MGCMDLINEKR", Path("system/bin/edi-translator-standin") + " --in " + Path("in/") +
                            "\r\n[RETRY]\r\nCOUNT=3\r\nINTERVAL=0");
  const std::string standin = Path("nts/program/z_tcp-standin.ini");
  const std::string settings = test::ReadFile(standin);
  test::WriteFile(standin, settings + "FAIL_TIMES=2\n");
  auto rows = Run({"DEMOZ01"});
  EXPECT_EQ(Statuses(rows["DEMOZ01"]), "OK|OK|OK|2");
  const long long tried = TransferOf("DEMOZ01");
  EXPECT_EQ(Kinds(tried), "01:0000/0000 10:5001/0105 10:5001/0105 10:0000/0000 31:0000/0000 41:0000/0000");
  EXPECT_EQ(std::count_if(view_.reports.begin(), view_.reports.end(),
                          [](const StageReport& r) { return r.kind == StageReport::Kind::kRetry; }),
            2);
  // A package that wrote its receive file and then reported a failure is
  // not tried again: that would receive twice.
  test::WriteFile(standin, settings + "STATUS=0105\n");
  rows = Run({"DEMOZ01"});
  EXPECT_EQ(Kinds(TransferOf("DEMOZ01")), "01:(null)/(null) 10:5001/0105");
}

TEST_P(RunLoopTest, AFileReceivedTwiceIsWarnedOfOrSkipped) {
  Run({"DEMOZ01"});
  const long long first = TransferOf("DEMOZ01");
  auto rows = Run({"DEMOZ01"});  // the partner sends the same file again
  const long long second = TransferOf("DEMOZ01");
  EXPECT_EQ(Statuses(rows["DEMOZ01"]), "OK|OK|OK|2") << "warn: registered all the same";
  std::vector<LedgerEntry> ledger;
  ASSERT_TRUE(ReadLedger(db(), second, ledger, why_));
  ASSERT_EQ(ledger.size(), 1u);
  EXPECT_EQ(ledger[0].duplicateOf, first);
  EXPECT_NE(LogOf(second).find("duplicates what transfer " + TransferDigits(first)), std::string::npos);
  SetKey("MGCMDLINEKR", Path("system/bin/edi-translator-standin") + " --in " + Path("in/") +
                            "\r\n[DUPLICATE]\r\nACTION=skip");
  rows = Run({"DEMOZ01"});
  const long long third = TransferOf("DEMOZ01");
  EXPECT_EQ(Statuses(rows["DEMOZ01"]), "OK|重複||9");
  EXPECT_EQ(Kinds(third), "01:8300/0000 10:0000/0000") << "backed up, neither converted nor registered";
  EXPECT_TRUE(fs::exists(Path("old/") + TransferFileName(third, "DEMOZ01", TransferFile::kReceivedCii) + ".duplicate"));
}

TEST(ReceivedXml, FilesOfTheTransferByWholeName) {
  const fs::path dir = test::TempDir("xmlnames");
  fs::create_directories(dir / "in");
  fs::create_directories(dir / "recv");
  for (const char* name : {"00000007_RCV_A+B_________x.xml", "00000007_RCV_A+B_________.XML.bak",
                           "00000007_RCV_A+B_________.CII", "00000007_RCV_AxB_________.XML", "x00000007_RCV_A+B_________.XML"}) {
    test::WriteFile((dir / "in" / name).string(), "");
  }
  test::WriteFile((dir / "recv/00000007_RCV_A+B_________2.XML").string(), "");
  test::WriteFile((dir / "recv/00000007_RCV_A+B_________1.XML").string(), "");
  PathSettings folders;
  folders.ediInFil = (dir / "in").string() + "/";
  const RunSettings settings;
  Transfer transfer{7, "A+B", {}, {}, {}, {}, folders, settings};
  transfer.centre.receivePath = (dir / "recv").string();
  std::vector<std::string> names;
  for (const auto& f : ReceivedXmlFiles(transfer)) names.push_back(f.parent_path().filename().string() + "/" + f.filename().string());
  EXPECT_EQ(names, (std::vector<std::string>{"in/00000007_RCV_A+B_________x.xml", "recv/00000007_RCV_A+B_________1.XML",
                                             "recv/00000007_RCV_A+B_________2.XML"}));
  transfer.centre.receivePath = (dir / "recv/00000007_RCV_A+B_________1.XML").string();
  EXPECT_EQ(ReceivedXmlFiles(transfer).size(), 1u) << "a path that names a file is not searched";
}

TEST(StatusLines, FieldsByPosition) {
  auto line = ParseStatusLine(" 0101            00001200001005");
  EXPECT_EQ(line.endMark, " ");
  EXPECT_EQ(line.dataKind, "0101");
  EXPECT_EQ(line.inputCount, "12");
  EXPECT_EQ(line.outputCount, "10");
  EXPECT_EQ(line.errorCode, "05");
  EXPECT_TRUE(line.Failed());
  line = ParseStatusLine("1");
  EXPECT_EQ(line.endMark, "1");
  EXPECT_EQ(line.dataKind, "");
  EXPECT_EQ(line.inputCount, "0");
  EXPECT_FALSE(line.Failed());
  EXPECT_TRUE(ParseStatusLine(" 0101            000012000010A1").Failed() == false) << "a letter first is numerically 0";
}

INSTANTIATE_TEST_SUITE_P(Backends, RunLoopTest, ::testing::ValuesIn(test::TestBackends()));

}  // namespace
}  // namespace edi
