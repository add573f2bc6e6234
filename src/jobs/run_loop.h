// The run over the marked centres: first the recovery of transfers an
// earlier run left under way, then for each marked centre a transfer in the
// history, the receive job, the conversion of the received files, the
// registration job and the backup, with the centre's row showing each
// stage's status and the row's state. One run at a time works on a centre
// (the centre's lock); every failing stage's reason is written to ERR.LOG
// under the transfer's start line and handed to the view.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/language.h"
#include "base/outcome.h"
#include "jobs/centre_lock.h"
#include "jobs/control_master.h"
#include "jobs/job_context.h"
#include "jobs/transfer.h"
#include "transport/receipt_log.h"

namespace edi {

// What the run tells the operator besides the statuses.
struct StageReport {
  enum class Kind {
    kFailure,    // a stage failed: outcome has its codes and reason
    kWarning,    // something went wrong without failing the stage: outcome.reason
    kRecovered,  // an interrupted transfer was recovered: outcome has its closing codes
    kSkipped,    // the centre was not run: another run holds it
    kRetry,      // a failed fetch is tried again: outcome.reason says "retry k/n in s s" and why
  };
  Kind kind = Kind::kFailure;
  std::string centreCode;
  TransferNo transferNo = 0;  // 0 when no transfer number was taken
  std::string step;           // "通番", "受信", "変換", "登録", "バックアップ", or the stage interrupted
  Outcome outcome;
};

// A failure in a line for the operator: the transfer, the step, the codes
// with their meanings and the reason ("通番 00000004 受信 5001/0001
// TCP転送異常: TCPパッケージのプログラムを起動できない — the TCP package: …").
std::string DescribeFailure(const StageReport& report, Language language);

// What a run did, for the alert mail and the metrics: the first failure of
// every centre that ended in error, and how long the run took.
struct RunSummary {
  int centresRun = 0;
  int centresFailed = 0;
  std::vector<StageReport> failures;
  double seconds = 0;
};

// The run loop's view of the centre list: the window draws it, headless
// programs print it.
class RunView {
 public:
  virtual ~RunView() = default;
  // The centres the run goes through, in grid order.
  virtual const std::vector<CentreRow>& Rows() const = 0;
  // The running flag: set before the first centre, cleared after the last
  // (the window disables its run button meanwhile).
  virtual void SetRunning(bool running) = 0;
  // Row `row` is the one being processed.
  virtual void BeginRow(int row) = 0;
  // Sets the status text of a stage of the row; it is shown at once, before
  // the stage runs.
  virtual void SetStatus(int row, Stage stage, const std::string& text) = 0;
  // Sets the row's state: the row takes the colour of the state.
  virtual void SetRowState(int row, int16_t state) = 0;
  // Tells the operator what happened to the row's centre (-1: a centre the
  // list does not hold). ERR.LOG has failures and warnings already.
  virtual void Report(int row, const StageReport& report) = 0;
  // The processing window: shown (again, to the front) and hidden.
  virtual void ShowProcessing() = 0;
  virtual void HideProcessing() = 0;
};

class RunLoop {
 public:
  RunLoop(RunView& view, const JobContext& context) : view_(view), context_(context) {}

  // Reads the run's settings, recovers interrupted transfers, then runs
  // every row that is marked and in state 0, one after another.
  void RunMarkedCentres();

  // The same for row `row` alone, whatever its mark.
  void RunCentre(int row);

  // Runs row `row`'s centre as a new transfer that re-runs `source` from its
  // backup.
  void Rerun(int row, const RerunSource& source);

  // What the last run did.
  const RunSummary& summary() const { return summary_; }

 private:
  void RunRows(const std::vector<int>& rows, const RerunSource* rerun);
  void Recover(const RunSettings& settings);
  void ProcessCentreRow(int row, const RunSettings& settings, TransferNo above, const RerunSource* rerun);
  // Opens the transfer: its history row, its journal and the checks before
  // anything is received. False when it cannot run (the row tells why).
  bool OpenCentreTransfer(int row, const std::string& centreCode, TransferNo above, TransferNo& number);
  // Runs the stages of an open transfer; false when one failed.
  bool RunStages(int row, const Transfer& transfer);
  // The receive step, tried again as [RETRY] says when it failed without
  // receiving anything.
  Outcome Receive(int row, const Transfer& transfer, ReceiptLog& receipts);
  // Looks for received documents that were received and registered before;
  // false when the transfer ends here (all of them set aside).
  bool CheckDuplicates(int row, const Transfer& transfer);
  // Waits `seconds` with the window's pending events running.
  void Wait(int seconds);
  bool BackUp(int row, const Transfer& transfer, bool done);
  // Ends a transfer that cannot go on with `outcome` on its branch 0.
  void Refuse(int row, TransferNo number, const Outcome& outcome);
  // Sets the row to error, then logs and reports the failed stage.
  void Fail(int row, TransferNo transferNo, std::string_view step, const Outcome& outcome);
  // Writes a failure's reason or the outcome's warnings to ERR.LOG and hands
  // them to the view.
  void Report(int row, TransferNo transferNo, std::string_view step, const Outcome& outcome);
  void LogTransferStart(TransferNo transferNo, const std::string& centreCode);
  int RowOf(const std::string& centreCode) const;

  RunView& view_;
  const JobContext& context_;
  RunSummary summary_;
};

}  // namespace edi
