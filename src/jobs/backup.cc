#include "jobs/backup.h"

#include "base/files.h"

namespace edi {

Outcome BackUpTransferFiles(const Transfer& transfer) {
  std::string failures;
  for (const auto& file : ListMatching(transfer.folders.ediInFil, TransferDigits(transfer.number) + "*")) {
    std::string why;
    if (!CopyFileAtomically(file, transfer.folders.oldFile + file.filename().string(), why)) {
      failures += (failures.empty() ? "" : "; ") + why;
    }
  }
  if (failures.empty()) return Outcome::Success();
  return Outcome::Failure(kResultFailed, kResultOk, "backup to " + transfer.folders.oldFile + " failed: " + failures);
}

}  // namespace edi
