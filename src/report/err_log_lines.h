// The converter log lines of one transfer: every ERR.LOG section that opens
// with a start line ("0000--M4705x0 start--NNNNNNNN ...") naming the
// transfer, up to the next start line.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "base/transfer_names.h"

namespace edi::report {

// The lines (UTF-8, without line ends) of transfer `transferNo` in the log
// at `path`; none when the log is missing.
std::vector<std::string> ErrLogLinesOf(const std::filesystem::path& path, TransferNo transferNo);

}  // namespace edi::report
