// What a station does after every run, window or not: the alert mail when
// centres ended in error ([ALERT] MAILTO), and the metrics file for
// node_exporter ([METRICS] TEXTFILE). Neither changes the run's outcome.
#pragma once

#include <string>
#include <vector>

#include "cii/err_log.h"
#include "db/database.h"
#include "jobs/run_loop.h"
#include "startup/program_state.h"

namespace edi::report {

// Sends the alert and writes the metrics as the settings ask. Each problem
// is written to `errLog` and returned, for the caller to show.
std::vector<std::string> AfterRun(Database& db, const ProgramState& state, const RunSummary& summary,
                                  const std::vector<CentreRow>& rows, cii::ErrLog& errLog);

}  // namespace edi::report
