// Knowing a file received twice: a document whose SHA-256 equals one that
// the same centre received within [DUPLICATE] DAYS by a transfer that
// registered it is a duplicate. The ledger marks it; with [DUPLICATE]
// ACTION=skip it is also taken out of what the transfer converts.
#pragma once

#include <string>
#include <vector>

#include "base/local_time.h"
#include "base/outcome.h"
#include "jobs/ledger.h"
#include "jobs/transfer.h"

namespace edi {

struct DuplicateDocument {
  LedgerEntry document;
  TransferNo earlier = 0;  // the transfer that received and registered it
};

struct DuplicateCheck {
  std::vector<LedgerEntry> documents;         // everything the transfer received
  std::vector<DuplicateDocument> duplicates;  // those received and registered before
};

// Looks for duplicates among what the transfer received, marking each in
// the ledger. `rerunOf`, the transfer a re-run takes its files from, is
// never the earlier one.
DuplicateCheck FindDuplicates(Database& db, const Transfer& transfer, TransferNo rerunOf, const Clock& clock);

// Takes the duplicates out of what the transfer converts: a received file
// made of duplicates only is renamed "<name>.duplicate"; one that holds new
// documents too is rewritten without them, the file as received kept as
// "<name>.received" (both stay in the inbound folder and are backed up).
// `left` is the number of documents still to convert.
Outcome SetDuplicatesAside(const Transfer& transfer, const DuplicateCheck& check, int& left);

// A warning line for a duplicate.
std::string DescribeDuplicate(const DuplicateDocument& duplicate);

}  // namespace edi
