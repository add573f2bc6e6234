#include "base/transfer_names.h"

#include <cstdio>

#include "base/ansi_codec.h"

namespace edi {
namespace {

constexpr size_t kCentreField = 12;

std::string FilledCentre(std::string_view centreCode, char fill) {
  std::string field(Utf8Prefix(centreCode, kCentreField));
  for (size_t n = Utf8Length(field); n < kCentreField; ++n) field.push_back(fill);
  return field;
}

}  // namespace

std::string TransferDigits(TransferNo transferNo) {
  char digits[24];
  std::snprintf(digits, sizeof digits, "%08lld", transferNo);
  return digits;
}

std::string PadCentre(std::string_view centreCode) {
  std::string field = FilledCentre(centreCode, ' ');
  for (char& c : field) {
    if (c == ' ') c = '_';
  }
  return field;
}

std::string LocalCentreField(std::string_view centreCode) { return FilledCentre(centreCode, '_'); }

std::string TransferFileName(TransferNo transferNo, std::string_view centreCode, TransferFile kind, int nth,
                             std::string_view category) {
  const std::string digits = TransferDigits(transferNo);
  const std::string received = digits + "_RCV_" + PadCentre(centreCode);
  switch (kind) {
    case TransferFile::kReceivedStem:
      return received;
    case TransferFile::kReceivedCii:
      return received + ".CII";
    case TransferFile::kReceivedXml: {
      if (nth <= 1) return received + ".XML";
      char number[16];
      std::snprintf(number, sizeof number, "%04d", nth % 10000);
      return received + number + ".XML";
    }
    case TransferFile::kLocal:
      return digits + "_RCV_" + LocalCentreField(centreCode) + std::string(category) + ".LOC";
    case TransferFile::kSendStem:
      return digits + "_SND_" + PadCentre(centreCode);
    case TransferFile::kSendCii:
      return digits + "_SND_" + PadCentre(centreCode) + ".CII";
  }
  return received;
}

}  // namespace edi
