#include "jobs/transfer_journal.h"

#include <unistd.h>

#include "base/text.h"
#include "db/null_value.h"

namespace edi {
namespace {

Outcome Failed(const std::string& what, const Database& db) {
  return Outcome::Failure(kResultFailed, kResultOk, what + ": " + db.LastError());
}

std::string Text(const ResultSet& rs, const char* column) { return NullToDefault(rs.Get(column), ""); }

}  // namespace

Outcome BeginJournal(Database& db, TransferNo transferNo, const std::string& centreCode, const std::string& station,
                     const Clock& clock) {
  const LocalTime now = clock();
  if (!db.ExecuteSql("INSERT INTO FL9102処理中転送 (通番, センターコード, 局, プロセスID, 段階, 開始日付, 開始時刻)"
                     " VALUES (:1, :2, :3, :4, :5, :6, :7)",
                     {transferNo, centreCode, station, static_cast<long long>(getpid()), std::string(kStageReceive),
                      now.date, now.time})) {
    return Failed("cannot journal transfer " + TransferDigits(transferNo), db);
  }
  return Outcome::Success();
}

Outcome SetJournalStage(Database& db, TransferNo transferNo, const std::string& stage) {
  if (!db.ExecuteSql("UPDATE FL9102処理中転送 SET 段階 = :1 WHERE 通番 = :2", {stage, transferNo})) {
    return Failed("cannot journal the stage of transfer " + TransferDigits(transferNo), db);
  }
  return Outcome::Success();
}

Outcome JournalOutputFile(Database& db, TransferNo transferNo, const JournalOutput& output) {
  ResultSet rs;
  if (!db.Query("SELECT 連番 FROM FL9103出力ジャーナル WHERE 通番 = :1 ORDER BY 連番 DESC LIMIT 1", {transferNo}, rs)) {
    return Failed("cannot read the output journal", db);
  }
  const long long next = rs.AtEnd() ? 1 : LeadingNumber(Text(rs, "連番")) + 1;
  if (!db.ExecuteSql("INSERT INTO FL9103出力ジャーナル (通番, 連番, ファイル名, 元サイズ) VALUES (:1, :2, :3, :4)",
                     {transferNo, next, output.file, output.formerSize})) {
    return Failed("cannot journal the output " + output.file, db);
  }
  return Outcome::Success();
}

Outcome ClearJournalOutputs(Database& db, TransferNo transferNo) {
  if (!db.ExecuteSql("DELETE FROM FL9103出力ジャーナル WHERE 通番 = :1", {transferNo})) {
    return Failed("cannot clear the output journal of transfer " + TransferDigits(transferNo), db);
  }
  return Outcome::Success();
}

Outcome EndJournal(Database& db, TransferNo transferNo) {
  const Outcome cleared = ClearJournalOutputs(db, transferNo);
  if (!db.ExecuteSql("DELETE FROM FL9102処理中転送 WHERE 通番 = :1", {transferNo})) {
    return FirstFailure(cleared, Failed("cannot end the journal of transfer " + TransferDigits(transferNo), db));
  }
  return cleared;
}

bool TransferOutputJournal::Record(const std::string& file, long long formerSize, std::string& why) {
  const Outcome recorded = JournalOutputFile(db_, transferNo_, {file, formerSize});
  why = recorded.reason;
  return recorded.ok();
}

bool ReadOpenTransfers(Database& db, const std::string& station, std::vector<OpenTransferEntry>& entries,
                       std::string& why) {
  entries.clear();
  ResultSet rs;
  if (!db.Query("SELECT * FROM FL9102処理中転送 WHERE 局 = :1 ORDER BY 通番", {station}, rs)) {
    why = "cannot read the transfers under way: " + db.LastError();
    return false;
  }
  for (; !rs.AtEnd(); rs.MoveNext()) {
    OpenTransferEntry entry;
    entry.transferNo = LeadingNumber(Text(rs, "通番"));
    entry.centreCode = Text(rs, "センターコード");
    entry.station = station;
    entry.processId = LeadingNumber(Text(rs, "プロセスID"));
    entry.stage = Text(rs, "段階");
    entries.push_back(std::move(entry));
  }
  for (auto& entry : entries) {
    ResultSet outputs;
    if (!db.Query("SELECT * FROM FL9103出力ジャーナル WHERE 通番 = :1 ORDER BY 連番", {entry.transferNo}, outputs)) {
      why = "cannot read the output journal: " + db.LastError();
      return false;
    }
    for (; !outputs.AtEnd(); outputs.MoveNext()) {
      entry.outputs.push_back({Text(outputs, "ファイル名"), LeadingNumber(Text(outputs, "元サイズ"))});
    }
  }
  return true;
}

}  // namespace edi
