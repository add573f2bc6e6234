// The ledger of received files FL9101受信ファイル台帳: one row per document a
// receive step stored, with the file, its place and size in the file, its
// SHA-256, the partner's id for it and the time.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/local_time.h"
#include "base/outcome.h"
#include "base/transfer_names.h"
#include "db/database.h"
#include "transport/receipt_log.h"

namespace edi {

struct LedgerEntry {
  TransferNo transferNo = 0;
  int sequence = 0;             // 連番: the n-th document of the transfer, from 1
  std::string centreCode;
  std::string fileName;         // the file's name, without folder
  long long offset = 0;
  long long size = 0;
  std::string sha256;
  std::string documentId;
  std::string sender;
  std::string date, time;       // when it was recorded
  std::optional<TransferNo> rerunOf;    // the transfer a re-run took it from
  std::optional<TransferNo> duplicateOf;  // an earlier transfer that received and registered the same
  std::string station;
};

// Adds `entry` with the next 連番 of its transfer (set in `entry`).
Outcome AddLedgerEntry(Database& db, LedgerEntry& entry, const Clock& clock = CurrentLocalTime);

// The entries of a transfer, in 連番 order.
bool ReadLedger(Database& db, TransferNo transferNo, std::vector<LedgerEntry>& entries, std::string& why);

// True when the ledger holds a document of `centreCode` with this content.
bool LedgerKnows(Database& db, const std::string& centreCode, const std::string& sha256);

// The earliest transfer other than `self` and `except` that received a
// document of `centreCode` with this content on or after `since`
// ("yyyy/mm/dd") and registered it (a "41" row closed with 0000); 0 when
// there is none.
TransferNo RegisteredEarlier(Database& db, const std::string& centreCode, const std::string& sha256,
                             const std::string& since, TransferNo self, TransferNo except);

// Marks a document of the ledger as a duplicate of `earlier`.
Outcome MarkDuplicate(Database& db, TransferNo transferNo, int sequence, TransferNo earlier);

// The receipt log of one transfer: each document a ledger row.
class TransferReceiptLog : public ReceiptLog {
 public:
  TransferReceiptLog(Database& db, TransferNo transferNo, std::string centreCode, std::string station,
                     Clock clock = CurrentLocalTime, std::optional<TransferNo> rerunOf = std::nullopt)
      : db_(db), transferNo_(transferNo), centreCode_(std::move(centreCode)), station_(std::move(station)),
        clock_(std::move(clock)), rerunOf_(rerunOf) {}
  Outcome Record(const ReceivedDocument& document) override;
  Outcome WithdrawLast() override;
  bool Knows(const std::string& sha256) override;
  int recorded() const { return recorded_; }

 private:
  Database& db_;
  TransferNo transferNo_;
  std::string centreCode_;
  std::string station_;
  Clock clock_;
  std::optional<TransferNo> rerunOf_;
  int recorded_ = 0;
  int lastSequence_ = 0;  // 連番 of the document recorded last, 0 when none
};

}  // namespace edi
