// The receive job: one step row "10" for the transport of a centre's files,
// dispatched on the centre's 送受信方式: "Z" the TCP package, "M" mail, "W"
// the operator file exchange, "J" the JX protocol; any other method runs no
// transport.
#pragma once

#include "base/outcome.h"
#include "jobs/job_context.h"
#include "jobs/transfer.h"
#include "transport/receipt_log.h"

namespace edi {

// Receives the transfer's files, each document recorded in `receipts`: over
// the centre's transport, or for a re-run from the backup of the transfer it
// re-runs. The outcome is the step row's: success, the
// centre lookup's "7002" or "6101", the transport's "5001" (detail: the
// package's status, or 0001 when its program could not be started),
// "5100" (detail 9999) or "5200" (detail: how the JX transfer failed), or
// the failure to write the row. When the step row
// cannot be started, no row is closed.
Outcome RunReceiveJob(const Transfer& transfer, const JobContext& context, ReceiptLog& receipts);

}  // namespace edi
