#include "jobs/duplicates.h"

#include <cerrno>
#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "base/files.h"

namespace edi {
namespace {

// Rewrites `file` without the byte ranges of `dropped`, keeping the file as
// received under "<file>.received".
Outcome RewriteWithout(const std::string& file, const std::vector<const LedgerEntry*>& dropped) {
  std::string bytes, why;
  if (!ReadWholeFile(file, bytes, false)) return Outcome::Failure(kResultFailed, kResultOk, WithErrno("cannot read " + file, errno));
  std::string kept;
  size_t at = 0;
  for (const LedgerEntry* d : dropped) {  // in offset order
    const size_t begin = std::min(bytes.size(), static_cast<size_t>(d->offset));
    if (begin > at) kept.append(bytes, at, begin - at);
    at = std::max(at, std::min(bytes.size(), begin + static_cast<size_t>(d->size)));
  }
  kept.append(bytes, at, std::string::npos);
  if (!WriteFileAtomically(file + ".received", bytes, why) || !WriteFileAtomically(file, kept, why)) {
    return Outcome::Failure(kResultFailed, kResultOk, why);
  }
  return Outcome::Success();
}

}  // namespace

DuplicateCheck FindDuplicates(Database& db, const Transfer& transfer, TransferNo rerunOf, const Clock& clock) {
  DuplicateCheck check;
  std::string why;
  if (!ReadLedger(db, transfer.number, check.documents, why)) return check;
  const std::string since = DateBefore(clock().date, transfer.settings.job.duplicateDays);
  for (const auto& document : check.documents) {
    const TransferNo earlier =
        RegisteredEarlier(db, transfer.centreCode, document.sha256, since, transfer.number, rerunOf);
    if (earlier == 0) continue;
    MarkDuplicate(db, transfer.number, document.sequence, earlier);
    check.duplicates.push_back({document, earlier});
  }
  return check;
}

std::string DescribeDuplicate(const DuplicateDocument& duplicate) {
  const LedgerEntry& d = duplicate.document;
  return "the document " + (d.documentId.empty() ? std::string() : d.documentId + " ") + "in " + d.fileName +
         " (" + std::to_string(d.size) + " bytes at " + std::to_string(d.offset) +
         ") duplicates what transfer " + TransferDigits(duplicate.earlier) + " received and registered";
}

Outcome SetDuplicatesAside(const Transfer& transfer, const DuplicateCheck& check, int& left) {
  std::set<int> duplicated;
  for (const auto& duplicate : check.duplicates) duplicated.insert(duplicate.document.sequence);
  std::map<std::string, std::vector<const LedgerEntry*>> dropped, kept;
  for (const auto& document : check.documents) {
    (duplicated.count(document.sequence) > 0 ? dropped : kept)[document.fileName].push_back(&document);
  }
  left = 0;
  for (const auto& [name, documents] : kept) left += static_cast<int>(documents.size());
  Outcome outcome;
  for (auto& [name, documents] : dropped) {
    const std::string file = transfer.folders.ediInFil + name;
    if (kept.count(name) == 0) {
      if (std::rename(file.c_str(), (file + ".duplicate").c_str()) != 0) {
        outcome = FirstFailure(outcome, Outcome::Failure(kResultFailed, kResultOk,
                                                         WithErrno("cannot set aside " + file, errno)));
      }
      continue;
    }
    std::sort(documents.begin(), documents.end(),
              [](const LedgerEntry* a, const LedgerEntry* b) { return a->offset < b->offset; });
    outcome = FirstFailure(outcome, RewriteWithout(file, documents));
  }
  return outcome;
}

}  // namespace edi
