#include "jobs/ledger.h"

#include <filesystem>

#include "base/text.h"
#include "db/null_value.h"

namespace edi {
namespace {

long long Number(const ResultSet& rs, const char* column) { return LeadingNumber(NullToDefault(rs.Get(column), "0")); }
std::string Text(const ResultSet& rs, const char* column) { return NullToDefault(rs.Get(column), ""); }

}  // namespace

Outcome AddLedgerEntry(Database& db, LedgerEntry& entry, const Clock& clock) {
  ResultSet rs;
  if (!db.Query("SELECT 連番 FROM FL9101受信ファイル台帳 WHERE 通番 = :1 ORDER BY 連番 DESC LIMIT 1",
                {entry.transferNo}, rs)) {
    return Outcome::Failure(kResultFailed, kResultOk, "cannot read the ledger of received files: " + db.LastError());
  }
  entry.sequence = rs.AtEnd() ? 1 : static_cast<int>(Number(rs, "連番")) + 1;
  const LocalTime now = clock();
  entry.date = now.date;
  entry.time = now.time;
  SqlParam rerun;  // NULL for a fresh receive
  if (entry.rerunOf) rerun = *entry.rerunOf;
  if (!db.ExecuteSql("INSERT INTO FL9101受信ファイル台帳 (通番, 連番, センターコード, ファイル名, 開始位置, サイズ,"
                     " SHA256, 文書ID, 送信者, 受信日付, 受信時刻, 再処理元通番, 局) VALUES"
                     " (:1, :2, :3, :4, :5, :6, :7, :8, :9, :10, :11, :12, :13)",
                     {entry.transferNo, static_cast<long long>(entry.sequence), entry.centreCode, entry.fileName,
                      entry.offset, entry.size, entry.sha256, entry.documentId, entry.sender, entry.date,
                      entry.time, rerun, entry.station})) {
    return Outcome::Failure(kResultFailed, kResultOk,
                            "cannot record " + entry.fileName + " in the ledger of received files: " + db.LastError());
  }
  return Outcome::Success();
}

bool ReadLedger(Database& db, TransferNo transferNo, std::vector<LedgerEntry>& entries, std::string& why) {
  entries.clear();
  ResultSet rs;
  if (!db.Query("SELECT * FROM FL9101受信ファイル台帳 WHERE 通番 = :1 ORDER BY 連番", {transferNo}, rs)) {
    why = "cannot read the ledger of received files: " + db.LastError();
    return false;
  }
  for (; !rs.AtEnd(); rs.MoveNext()) {
    LedgerEntry e;
    e.transferNo = transferNo;
    e.sequence = static_cast<int>(Number(rs, "連番"));
    e.centreCode = Text(rs, "センターコード");
    e.fileName = Text(rs, "ファイル名");
    e.offset = Number(rs, "開始位置");
    e.size = Number(rs, "サイズ");
    e.sha256 = Text(rs, "SHA256");
    e.documentId = Text(rs, "文書ID");
    e.sender = Text(rs, "送信者");
    e.date = Text(rs, "受信日付");
    e.time = Text(rs, "受信時刻");
    if (rs.Get("再処理元通番")) e.rerunOf = Number(rs, "再処理元通番");
    if (rs.Get("重複元通番")) e.duplicateOf = Number(rs, "重複元通番");
    e.station = Text(rs, "局");
    entries.push_back(std::move(e));
  }
  return true;
}

bool LedgerKnows(Database& db, const std::string& centreCode, const std::string& sha256) {
  ResultSet rs;
  return db.Query("SELECT 通番 FROM FL9101受信ファイル台帳 WHERE センターコード = :1 AND SHA256 = :2",
                  {centreCode, sha256}, rs) &&
         !rs.AtEnd();
}

TransferNo RegisteredEarlier(Database& db, const std::string& centreCode, const std::string& sha256,
                             const std::string& since, TransferNo self, TransferNo except) {
  ResultSet rs;
  if (!db.Query("SELECT l.通番 FROM FL9101受信ファイル台帳 l WHERE l.センターコード = :1 AND l.SHA256 = :2"
                " AND l.通番 <> :3 AND l.通番 <> :4 AND l.受信日付 >= :5 AND EXISTS (SELECT 1 FROM"
                " FL1102処理履歴ファイル h WHERE h.通番 = l.通番 AND h.処理種別 = '41' AND h.終了コード = '0000')"
                " ORDER BY l.通番 LIMIT 1",
                {centreCode, sha256, self, except, since}, rs) ||
      rs.AtEnd()) {
    return 0;
  }
  return Number(rs, "通番");
}

Outcome MarkDuplicate(Database& db, TransferNo transferNo, int sequence, TransferNo earlier) {
  if (!db.ExecuteSql("UPDATE FL9101受信ファイル台帳 SET 重複元通番 = :1 WHERE 通番 = :2 AND 連番 = :3",
                     {earlier, transferNo, static_cast<long long>(sequence)})) {
    return Outcome::Failure(kResultFailed, kResultOk, "cannot mark a duplicate in the ledger: " + db.LastError());
  }
  return Outcome::Success();
}

Outcome TransferReceiptLog::Record(const ReceivedDocument& document) {
  LedgerEntry entry;
  entry.transferNo = transferNo_;
  entry.centreCode = centreCode_;
  entry.fileName = std::filesystem::path(document.file).filename().string();
  entry.offset = document.offset;
  entry.size = document.size;
  entry.sha256 = document.sha256;
  entry.documentId = document.documentId;
  entry.sender = document.sender;
  entry.station = station_;
  entry.rerunOf = rerunOf_;
  const Outcome added = AddLedgerEntry(db_, entry, clock_);
  if (added.ok()) {
    ++recorded_;
    lastSequence_ = entry.sequence;
  }
  return added;
}

Outcome TransferReceiptLog::WithdrawLast() {
  if (lastSequence_ == 0) return Outcome::Success();
  if (!db_.ExecuteSql("DELETE FROM FL9101受信ファイル台帳 WHERE 通番 = :1 AND 連番 = :2",
                      {transferNo_, static_cast<long long>(lastSequence_)})) {
    return Outcome::Failure(kResultFailed, kResultOk,
                            "cannot take a document back out of the ledger of received files: " + db_.LastError());
  }
  --recorded_;
  lastSequence_ = 0;
  return Outcome::Success();
}

bool TransferReceiptLog::Knows(const std::string& sha256) { return LedgerKnows(db_, centreCode_, sha256); }

}  // namespace edi
