// The run over the marked centres: for each one a transfer in the history,
// the receive job, the conversion of the received files, the registration
// job and the backup, with the centre's row showing each stage's status and
// the row's state. Every failing stage's reason is written to ERR.LOG under
// the transfer's start line and handed to the view.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/outcome.h"
#include "jobs/control_master.h"
#include "jobs/job_context.h"
#include "jobs/transfer.h"

namespace edi {

// A stage of a centre's run that failed, and why.
struct StageFailure {
  std::string centreCode;
  TransferNo transferNo = 0;  // 0 when no transfer number could be taken
  std::string_view step;      // "通番", "受信", "変換", "登録", "バックアップ"
  Outcome outcome;
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
  // A stage of the row failed (ERR.LOG has it already).
  virtual void ReportFailure(int row, const StageFailure& failure) = 0;
  // The processing window: shown (again, to the front) and hidden.
  virtual void ShowProcessing() = 0;
  virtual void HideProcessing() = 0;
};

class RunLoop {
 public:
  RunLoop(RunView& view, const JobContext& context) : view_(view), context_(context) {}

  // Reads the run's settings, then runs every row that is marked and in
  // state 0, one after another.
  void RunMarkedCentres();

 private:
  void ProcessCentreRow(int row, const RunSettings& settings);
  // Runs the stages of an open transfer; false when one failed.
  bool RunStages(int row, const Transfer& transfer);
  // Sets the row to error, then logs and reports the failed stage.
  void Fail(int row, TransferNo transferNo, std::string_view step, const Outcome& outcome);
  // Writes the failure's reason to ERR.LOG and hands it to the view.
  void Report(int row, TransferNo transferNo, std::string_view step, const Outcome& outcome);
  void LogTransferStart(TransferNo transferNo, const std::string& centreCode);

  RunView& view_;
  const JobContext& context_;
};

}  // namespace edi
