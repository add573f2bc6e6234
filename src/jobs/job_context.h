// What the transfer jobs and the run loop work with: the database, the
// program state, the converters' state, the operator, and the seams to the
// window (pending events, the mail progress list, the file dialogs).
#pragma once

#include <string>

#include "base/local_time.h"
#include "base/process.h"
#include "cii/converter_state.h"
#include "db/database.h"
#include "startup/program_state.h"
#include "transport/file_exchange.h"
#include "transport/mail_progress.h"

namespace edi {

struct JobContext {
  Database& db;
  const ProgramState& state;
  cii::ConverterState& converters;
  std::string operatorCode;   // the operator of the window's command line
  PendingEvents pending;      // let pending window events run
  MailProgress& mailProgress;
  FileDialogs& dialogs;
  Clock clock = CurrentLocalTime;
};

}  // namespace edi
