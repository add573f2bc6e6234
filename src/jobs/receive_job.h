// The receive job: one step row "10" for the transport of a centre's files,
// dispatched on the centre's 送受信方式: "Z" the TCP package, "M" mail, "W"
// the operator file exchange; any other method runs no transport.
#pragma once

#include <string>

#include "jobs/job_context.h"

namespace edi {

// Receives for `centreCode` under transfer `transferNo`. `result` becomes
// "0000" or the code of the failing step: the step start's result, "7002",
// "6101", "5001" (detail: the package's status), "5100" (detail: the mail or
// exchange result), or the close's "9999". When the step row cannot be
// started, no row is closed.
void RunReceiveJob(const std::string& centreCode, long long transferNo, std::string& result,
                   const std::string& programId, const JobContext& context);

}  // namespace edi
