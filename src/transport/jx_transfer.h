// The JX transfer: the station polls the centre's server over HTTPS with
// SOAP and takes the documents waiting for it, one at a time, each stored
// and recorded before the server is told it arrived.
#pragma once

#include <string>

#include "base/local_time.h"
#include "base/outcome.h"
#include "base/process.h"
#include "base/transfer_names.h"
#include "startup/program_state.h"
#include "transport/jx_settings.h"
#include "transport/receipt_log.h"

namespace edi {

struct JxTransferRequest {
  std::string centreCode;     // センターコード
  TransferNo transferNo = 0;  // 通番
  std::string dataFormat;     // "C" CII, "X" XML
};

struct JxContext {
  const ProgramState& state;    // EDIINFIL for the received files, OLD_FILE for unconfirmed copies
  const JxSettings& settings;   // the centre's [JX:code] section
  ReceiptLog& receipts;         // every stored document, before it is confirmed
  PendingEvents pending;        // run at least every 50 ms of every wait
  Clock clock = CurrentLocalTime;
};

// Receives with GetDocument until the server has no more or MAX_DOCUMENTS
// were taken. Each document is decoded as it arrives, placed under the
// transfer's names (data format "X": the first as the received XML name,
// the n-th with n in four digits before ".XML"; "C": appended to the
// received CII file), recorded in `receipts`, and only then confirmed.
//
// A failure ends the loop with "5200" and its detail (see result_codes.h).
// The document it struck is not part of the transfer: taken back out of
// its file and, when it was complete, kept in OLD_FILE as
// "UNCONFIRMED_<通番>_<centre field><n in four digits>.<XML|CII>"; the server hands it out
// again. When documents were confirmed before the failure, the transfer
// keeps them: the outcome is success, the failure one of its warnings.
Outcome RunJxTransfer(const JxTransferRequest& request, const JxContext& context);

// The outcome of a centre whose [JX:code] settings are wrong: "5200" with
// the detail "0007", nothing sent.
Outcome JxSetUpFailure(const std::string& why);

}  // namespace edi
