#include "jobs/transfer_names.h"

#include <cstdio>

#include "base/ansi_codec.h"
#include "startup/common_routines.h"

namespace edi {

std::string TransferDigits(long long transferNo) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%08lld", transferNo);
  return digits;
}

std::string ReceivedBaseName(long long transferNo, const std::string& centreCode) {
  return TransferDigits(transferNo) + "_RCV_" + PadCentre(centreCode);
}

std::string LocalCentreField(const std::string& centreCode) {
  return std::string(Utf8Prefix(centreCode + std::string(12, '_'), 12));
}

std::string LocalBaseName(long long transferNo, const std::string& centreCode) {
  return TransferDigits(transferNo) + "_RCV_" + LocalCentreField(centreCode);
}

}  // namespace edi
