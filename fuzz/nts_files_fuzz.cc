// Feeds arbitrary bytes as the TCP package's status file and transfer log:
// the readers never read outside them, and a record they find lies inside
// the log after its first line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "transport/nts_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string field = edi::StatusFirstField(bytes);
  const std::string status = edi::PackageStatus(field);
  if (status.size() > 4 || field.size() > size) std::abort();
  long long count = -1;
  const long long serial = size > 0 ? data[0] % 200 : 0;
  if (edi::FindTransferInLog(bytes, serial, count) && size < 17) std::abort();
  return 0;
}
