// edi-receive: the station's run without windows, for scheduled or remote
// use. It starts up as the window does, marks the named centres (or every
// listed one) and runs them, printing each centre's stage statuses.
#include <malloc.h>

#include <algorithm>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/options.h"
#include "base/version.h"
#include "base/text.h"
#include "cii/converter_state.h"
#include "jobs/control_master.h"
#include "jobs/rerun.h"
#include "jobs/run_folders.h"
#include "jobs/run_loop.h"
#include "report/after_run.h"
#include "startup/settings_folder.h"
#include "startup/startup.h"
#include "transport/file_exchange.h"
#include "transport/mail_progress.h"

namespace {

constexpr char kUsage[] =
    "usage: edi-receive [--operator CODE] (--all | --centre CODE ... | --rerun N [--registration-checked])\n"
    "\n"
    "Receives, converts, registers and backs up the named centres of the station whose\n"
    "EDI.ini lies two folders above this program (as the window's run does). Centres are\n"
    "those the window lists (partner kind 1).\n"
    "\n"
    "  --all            every listed centre\n"
    "  --centre CODE    a listed centre; may be repeated\n"
    "  --rerun N        transfer N's centre again, as a new transfer that takes N's received\n"
    "                   files from the backup folder instead of the transport (refused when\n"
    "                   they are missing or changed, as the ledger of received files knows them)\n"
    "  --registration-checked\n"
    "                   with --rerun: the operator checked the business application, so a\n"
    "                   transfer whose registration's outcome is unknown (8100) may run again\n"
    "  --operator CODE  the operator code of the translator's command file (default: the\n"
    "                   login name)\n"
    "  Options take their value as \"--name value\" or \"--name=value\".\n"
    "\n"
    "Every status change prints a line: centre code, receive, conversion and registration\n"
    "status, row state (1 in progress, 2 done, 9 error), separated by tabs; a summary\n"
    "line follows. A centre of the operator file exchange (\"W\") takes its configured path\n"
    "without dialog; mail steps and errors go to standard error; the converters log to\n"
    "ERR.LOG beside this program.\n"
    "\n"
    "A centre that another run is receiving (of this or another station) is skipped with a\n"
    "message and takes nothing. Before the first centre, transfers that a killed run of this\n"
    "station left under way are recovered; each prints a line \"recovered\", centre, transfer,\n"
    "codes and what was done. Reasons of failures and warnings go to standard error.\n"
    "\n"
    "exit status: 0 every centre ended done (state 2); 1 a centre ended in error (state 9) or\n"
    "was skipped, start-up failed, a folder of the run is missing or no centre is listed;\n"
    "2 usage error, a --centre that is not listed or an operator code that cannot be one\n";

int Usage(const std::string& error) {
  std::cerr << "edi-receive: " << error << "\n" << kUsage;
  return 2;
}

// Prints the rows as the window would show them, and the reason of every
// failed stage on standard error.
class PrintingView : public edi::RunView {
 public:
  explicit PrintingView(std::vector<edi::CentreRow> rows) : rows_(std::move(rows)) {}
  const std::vector<edi::CentreRow>& Rows() const override { return rows_; }
  void SetRunning(bool) override {}
  void BeginRow(int) override {}
  void SetStatus(int row, edi::Stage stage, const std::string& text) override {
    rows_[static_cast<size_t>(row)].Status(stage) = text;
    Print(row);
  }
  void SetRowState(int row, int16_t state) override {
    rows_[static_cast<size_t>(row)].state = state;
    Print(row);
  }
  void Report(int, const edi::StageReport& report) override {
    using Kind = edi::StageReport::Kind;
    const std::string transfer = "transfer " + edi::TransferDigits(report.transferNo);
    switch (report.kind) {
      case Kind::kFailure:
        std::cerr << "edi-receive: " << report.centreCode << " " << transfer << " " << report.step << " "
                  << report.outcome.Codes() << ": " << report.outcome.reason << std::endl;
        break;
      case Kind::kWarning:
        std::cerr << "edi-receive: " << report.centreCode << " " << transfer << " " << report.step
                  << " warning: " << report.outcome.reason << std::endl;
        break;
      case Kind::kRecovered:
        std::cout << "recovered\t" << report.centreCode << "\t" << edi::TransferDigits(report.transferNo) << "\t"
                  << report.outcome.Codes() << "\t" << report.outcome.reason << std::endl;
        break;
      case Kind::kSkipped:
        std::cerr << "edi-receive: " << report.centreCode << " skipped: " << report.outcome.reason << std::endl;
        break;
      case Kind::kRetry:
        std::cerr << "edi-receive: " << report.centreCode << " " << transfer << " " << report.step << " "
                  << report.outcome.Codes() << ": " << report.outcome.reason << std::endl;
        break;
    }
  }
  void ShowProcessing() override {}
  void HideProcessing() override {}

 private:
  void Print(int row) {
    const edi::CentreRow& r = rows_[static_cast<size_t>(row)];
    std::cout << r.centreCode << "\t" << r.receiveStatus << "\t" << r.conversionStatus << "\t"
              << r.registrationStatus << "\t" << r.state << std::endl;
  }
  std::vector<edi::CentreRow> rows_;
};

// Marks the rows to run: --all, the --centre codes, or the centre of the
// transfer re-run (added when the list does not hold it). False with
// `error` for a --centre that is not listed.
bool MarkRows(const edi::ParsedOptions& options, const edi::RerunSource* rerun, edi::Database& db,
              std::vector<edi::CentreRow>& rows, std::string& error) {
  const auto centres = options.Values("centre");
  std::set<std::string> wanted(centres.begin(), centres.end());
  if (rerun != nullptr) wanted.insert(rerun->centreCode);
  for (const auto& code : wanted) {
    if (std::any_of(rows.begin(), rows.end(), [&](const edi::CentreRow& r) { return r.centreCode == code; })) continue;
    if (rerun == nullptr) {
      error = "centre " + code + " is not in the centre list";
      return false;
    }
    edi::CentreMaster centre;
    edi::LookupCentre(db, code, centre);
    rows.push_back(edi::CentreRow{0, code, centre.centreName, centre.transferMethod, "", "", "", edi::kRowNormal});
  }
  for (auto& row : rows) {
    if (options.Has("all") || wanted.count(row.centreCode) > 0) row.selected = -1;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (edi::AnswerVersion(argc, argv, "edi-receive")) return 0;
  // Mail messages of a megabyte are copied several times while the mail
  // library parses them: keep such buffers in the heap for reuse instead of
  // mapping fresh pages (and faulting them in) for every copy.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  edi::ParsedOptions options;
  std::string error;
  if (!edi::ParseOptions(std::vector<std::string_view>(argv + 1, argv + argc),
                         {{"operator"}, {"all", false}, {"centre", true, true}, {"rerun"},
                          {"registration-checked", false}},
                         options, error)) {
    return Usage(error);
  }
  if (options.Has("help")) {
    std::cout << kUsage;
    return 0;
  }
  if (!options.plain().empty()) return Usage("unexpected argument " + options.plain()[0]);
  const auto centres = options.Values("centre");
  const int modes = options.Has("all") + !centres.empty() + options.Has("rerun");
  if (modes != 1) return Usage("give one of --all, --centre or --rerun");
  std::optional<edi::TransferNo> rerunOf;
  if (auto number = options.Value("rerun")) {
    const auto parsed = edi::ParseCount(*number);
    if (!parsed || *parsed == 0) return Usage("--rerun takes a transfer number, not \"" + *number + "\"");
    rerunOf = *parsed;
  }
  if (options.Has("registration-checked") && !rerunOf) return Usage("--registration-checked goes with --rerun");
  if (const auto code = options.Value("operator"); code && !edi::IsValidOperatorCode(edi::TrimBlanks(*code), error)) {
    return Usage(error);
  }

  edi::StderrMessageSink sink;
  edi::ProgramState state;
  edi::Database db;
  const std::string programFolder = edi::RunningProgramFolder();
  if (!edi::StartUp(programFolder, sink, state, db)) return 1;
  std::vector<edi::CentreRow> rows;
  if (const edi::Outcome listed = edi::LoadCentreList(db, rows); !listed.ok()) {
    sink.ShowMessage("該当するデータがありませんでした", listed.reason);
    return 1;
  }
  // A transfer that cannot be re-run is refused before anything runs.
  edi::RerunSource source;
  if (rerunOf) {
    const edi::Outcome prepared =
        edi::PrepareRerun(db, state.paths, edi::ArchiveFolder(state.paths, edi::ReadRunSettings(state).job), *rerunOf,
                          options.Has("registration-checked"), source);
    if (!prepared.ok()) {
      std::cerr << "edi-receive: --rerun " << *rerunOf << " refused: " << prepared.reason << std::endl;
      return 1;
    }
  }
  if (!MarkRows(options, rerunOf ? &source : nullptr, db, rows, error)) return Usage(error);
  const bool usesPackage = std::any_of(rows.begin(), rows.end(), [](const edi::CentreRow& r) {
    return r.selected != 0 && r.transferMethod == "Z";
  });
  // A run without the folders it writes to would scatter its files: a
  // set-up error before any centre runs.
  if (!edi::CheckRunFolders(state, edi::ReadRunSettings(state), usesPackage, error)) {
    sink.ShowMessage(edi::kSettingsReadError, error);
    return 1;
  }

  edi::cii::ConverterState converters;
  converters.errLog = edi::cii::ErrLog(programFolder + "/ERR.LOG");
  edi::StderrMailProgress mail;
  edi::ConfiguredPathDialogs dialogs;
  const std::string operatorCode = edi::TrimBlanks(options.Value("operator").value_or(state.userName));
  const edi::JobContext context{db, state, converters, operatorCode, [] {}, mail, dialogs};
  PrintingView view(std::move(rows));
  edi::RunLoop loop(view, context);
  if (rerunOf) {
    const auto& listed = view.Rows();
    const auto row = std::find_if(listed.begin(), listed.end(),
                                  [&](const edi::CentreRow& r) { return r.centreCode == source.centreCode; });
    loop.Rerun(static_cast<int>(row - listed.begin()), source);
  } else {
    loop.RunMarkedCentres();
  }

  for (const auto& problem : edi::report::AfterRun(db, state, loop.summary(), view.Rows(), converters.errLog)) {
    std::cerr << "edi-receive: " << problem << std::endl;
  }

  int done = 0, failed = 0;
  for (const auto& row : view.Rows()) {
    if (row.selected == 0) continue;
    (row.state == edi::kRowDone ? done : failed) += 1;
  }
  std::cout << "centres: " << done + failed << ", done: " << done << ", error: " << failed << std::endl;
  return failed == 0 ? 0 : 1;
}
