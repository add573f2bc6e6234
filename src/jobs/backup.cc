#include "jobs/backup.h"

#include <filesystem>

#include "base/files.h"

namespace edi {
namespace fs = std::filesystem;

Outcome BackUpTransferFiles(const Transfer& transfer) {
  std::string failures;
  for (const auto& file : ListMatching(transfer.folders.ediInFil, TransferDigits(transfer.number) + "_*")) {
    // Only the transfer's own regular files: a link planted under its name
    // is neither followed nor copied.
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(file, ec))) continue;
    std::string why;
    if (!CopyRegularFileAtomically(file, transfer.folders.oldFile + file.filename().string(), why)) {
      failures += (failures.empty() ? "" : "; ") + why;
    }
  }
  if (failures.empty()) return Outcome::Success();
  return Outcome::Failure(kResultFailed, kResultOk, "backup to " + transfer.folders.oldFile + " failed: " + failures);
}

}  // namespace edi
