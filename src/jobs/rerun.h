// Re-running a transfer from its backup: its received files, as the ledger
// of received files knows them, are taken from the backup folder into a new
// transfer of the same centre, which then converts, registers and backs up
// as any run. A transfer whose backed-up files are missing or changed is
// refused, and so is one whose registration's outcome is unknown unless
// the operator has checked the business application.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/outcome.h"
#include "jobs/ledger.h"
#include "jobs/transfer.h"
#include "transport/receipt_log.h"

namespace edi {

struct RerunSource {
  TransferNo transferNo = 0;  // the transfer re-run
  std::string centreCode;
  std::vector<LedgerEntry> documents;  // what it received, as the ledger knows it
  std::map<std::string, std::string> files;  // each received file's name → where it is now
  std::shared_ptr<const void> extracted;     // a temporary folder of files taken out of archives
};

// Checks that transfer `transferNo` can be re-run and reads what it
// received, finding each file in the backup folder or, when it was
// archived, in the archives of `archiveFolder`. Fails ("9999") when it is
// not in the history, received nothing the ledger knows, a backed-up file is
// missing or its size or SHA-256 differs from the ledger, or its
// registration's outcome is unknown (8100) and `registrationChecked` is
// false; the reason says which.
Outcome PrepareRerun(Database& db, const PathSettings& folders, const std::string& archiveFolder,
                     TransferNo transferNo, bool registrationChecked, RerunSource& source);

// The receive step of a re-run: copies the source's backed-up files into
// the inbound folder under the new transfer's names and records each
// document in `receipts`.
Outcome ReceiveFromBackup(const Transfer& transfer, const RerunSource& source, ReceiptLog& receipts);

}  // namespace edi
