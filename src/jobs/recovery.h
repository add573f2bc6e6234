// The recovery of transfers whose run was killed: before a run takes its
// first centre, every transfer that this station left under way and whose
// centre's lock is free is finished as far as it can be. The outputs of an
// unfinished conversion are removed or cut back to their former size, a
// translator's status file that arrived meanwhile is recorded, the received
// files are backed up, and the transfer is closed with "8000" and the stage
// ("8100" when it was killed while the translator ran and left no status
// file: whether the orders were registered is unknown).
#pragma once

#include <string>
#include <vector>

#include "base/outcome.h"
#include "jobs/job_context.h"
#include "jobs/transfer.h"

namespace edi {

struct RecoveredTransfer {
  TransferNo transferNo = 0;
  std::string centreCode;
  std::string stage;  // where the run was killed
  Outcome outcome;    // the codes the transfer was closed with, and what was done
};

// This station's name in the journal: its host and its settings folder.
std::string StationName(const ProgramState& state);

// Recovers the interrupted transfers of this station. A transfer whose
// centre is locked (its run is alive) is left alone, as are other
// stations' transfers.
std::vector<RecoveredTransfer> RecoverInterruptedTransfers(const RunSettings& settings, const JobContext& context);

}  // namespace edi
