// The run over the marked centres: for each one a transfer in the history,
// the receive job, the conversion of the received files, the registration
// job and the backup, with the centre's row showing each stage's status and
// the row's state.
#pragma once

#include <string>
#include <vector>

#include "jobs/control_master.h"
#include "jobs/job_context.h"

namespace edi {

// The columns of the centre grid that show the stages.
inline constexpr int kReceiveColumn = 4;
inline constexpr int kConversionColumn = 5;
inline constexpr int kRegistrationColumn = 6;

// The run loop's view of the centre list: the window draws it, headless
// programs print it. The run loop has already changed the row when it calls.
class RunView {
 public:
  virtual ~RunView() = default;
  // The running flag: set before the first centre, cleared after the last
  // (the window disables its run button meanwhile).
  virtual void SetRunning(bool running) = 0;
  // Row `row` is the one being processed.
  virtual void BeginRow(int row) = 0;
  // A status text of the row changed (column 4, 5 or 6).
  virtual void StatusChanged(int row, int column) = 0;
  // The row's state changed: the row takes the colour of the state.
  virtual void SetRowState(int row, int16_t state) = 0;
  // The processing window: shown (again, to the front) and hidden.
  virtual void ShowProcessing() = 0;
  virtual void HideProcessing() = 0;
};

class RunLoop {
 public:
  RunLoop(std::vector<CentreRow>& rows, RunView& view, const JobContext& context)
      : rows_(rows), view_(view), context_(context) {}

  // Runs every row that is marked and in state 0, one after another.
  void RunMarkedCentres();

  // Runs one centre; the outcome is in its row.
  void ProcessCentreRow(int row);

 private:
  void SetStatus(int row, int column, const char* text);
  void SetState(int row, int16_t state);

  std::vector<CentreRow>& rows_;
  RunView& view_;
  const JobContext& context_;
};

}  // namespace edi
