#include "transport/nts_files.h"

#include "base/result_codes.h"
#include "base/text.h"

namespace edi {

std::string StatusFirstField(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t')) ++i;
  bytes.remove_prefix(i);
  if (!bytes.empty() && bytes.front() == '"') {
    const size_t close = bytes.find('"', 1);
    return std::string(bytes.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
  }
  const size_t end = bytes.find_first_of(",\r\n");
  return TrimBlanks(bytes.substr(0, end));
}

std::string PackageStatus(std::string_view field) {
  const std::string status(field.substr(0, 4));
  return LeadingNumber(TrimBlanksView(status)) == 0 ? kResultOk : status;
}

bool FindTransferInLog(std::string_view log, TransferNo transferNo, long long& count) {
  const size_t firstLine = log.find('\n');
  const size_t records = firstLine == std::string_view::npos ? log.size() : firstLine + 1;
  for (size_t end = log.size(); end >= records + 17 && end >= 17; end -= kLogRecordSize) {
    const std::string_view key = log.substr(end - 9, 8);
    if (LeadingNumber(key) == transferNo) {
      count = LeadingNumber(log.substr(end - 17, 7));
      return true;
    }
    if (end < kLogRecordSize) break;
  }
  return false;
}

}  // namespace edi
