// The names of a transfer's files. 8 digits = 通番 as "00000000".
#pragma once

#include <string>

namespace edi {

// 通番 in eight digits.
std::string TransferDigits(long long transferNo);

// 8 digits + "_RCV_" + PadCentre(centre): the received file without its
// extension.
std::string ReceivedBaseName(long long transferNo, const std::string& centreCode);

// The centre field of local-format files: the first 12 characters of the
// centre code followed by "_" (blanks kept).
std::string LocalCentreField(const std::string& centreCode);

// 8 digits + "_RCV_" + LocalCentreField: local-format files without their
// category and ".LOC".
std::string LocalBaseName(long long transferNo, const std::string& centreCode);

}  // namespace edi
