// Reading what the TCP package leaves behind: the first field of its status
// file and the record of a transfer in its log. Both read outside bytes and
// never read past them.
#pragma once

#include <string>
#include <string_view>

#include "base/transfer_names.h"

namespace edi {

// The first field of a status file, read as a comma-separated text: up to
// the first comma or line end, leading and trailing blanks dropped, a field
// in double quotes taken from inside them.
std::string StatusFirstField(std::string_view statusFile);

// The package's status from that field: its first 4 characters, or "0000"
// when they are numerically zero (blanks and a zero, or no number at all).
std::string PackageStatus(std::string_view firstField);

// The log records are 88 bytes, newest at the end, after a first line that
// is not read. Of record k from the end, the key is the 8 bytes ending 1
// byte before the record's end and the count the 7 bytes ending 9 bytes
// before it. Finds the record nearest the end whose key is numerically
// `transferNo` and sets `count` from it; false when no record has it.
bool FindTransferInLog(std::string_view log, TransferNo transferNo, long long& count);

inline constexpr size_t kLogRecordSize = 88;

}  // namespace edi
