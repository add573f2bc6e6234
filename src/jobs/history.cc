#include "jobs/history.h"

#include <algorithm>
#include <cctype>

namespace edi {
namespace {

constexpr int kAllocationAttempts = 8;

constexpr char kInsertRow[] =
    "INSERT INTO FL1102処理履歴ファイル ( 通番 ,枝番 ,送受信種別 ,相手先種別 ,処理種別"
    " ,処理開始日付 ,処理開始時刻 ,センターコード ) VALUES ( :1 ,:2 ,:3 ,:4 ,:5 ,:6 ,:7 ,:8 )";

struct RowStart {
  TransferNo transferNo;
  int branchNo;
  const std::string& direction;
  const std::string& partnerKind;
  const std::string& processKind;
  const std::string& centreCode;
};

std::string RowName(TransferNo transferNo, int branchNo) {
  return "history row 通番 " + std::to_string(transferNo) + " 枝番 " + std::to_string(branchNo);
}

Outcome DatabaseFailure(const std::string& what, const Database& db) {
  return Outcome::Failure(kResultFailed, kResultOk, what + ": " + db.LastError());
}

bool RowExists(Database& db, TransferNo transferNo, int branchNo) {
  ResultSet rs;
  return db.Query("SELECT 通番 FROM FL1102処理履歴ファイル WHERE 通番 = :1 AND 枝番 = :2",
                  {transferNo, static_cast<long long>(branchNo)}, rs) &&
         !rs.AtEnd();
}

// Inserts the start columns of a row. Returns 1 when written, 0 when the key
// was taken meanwhile by another writer, -1 on any other failure.
int InsertRowStart(Database& db, const RowStart& row, const Clock& clock) {
  const LocalTime now = clock();
  if (db.ExecuteSql(kInsertRow, {row.transferNo, static_cast<long long>(row.branchNo), row.direction,
                                 row.partnerKind, row.processKind, now.date, now.time, row.centreCode})) {
    return 1;
  }
  // A successful query leaves the insert's message as the last error.
  return RowExists(db, row.transferNo, row.branchNo) ? 0 : -1;
}

// The first value of `column` in the rows of `sql`, as a number; 0 when
// there is no row. False on a database error.
bool FirstNumber(Database& db, const char* sql, const SqlParams& params, const char* column, long long& out) {
  ResultSet rs;
  if (!db.Query(sql, params, rs)) return false;
  out = 0;
  if (rs.AtEnd()) return true;
  auto value = rs.Get(column);
  if (!value) return false;
  try {
    out = std::stoll(*value);
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

void BlankIfEmpty(std::string& text) {
  if (text.empty()) text = " ";
}

void ZeroCodeIfEmpty(std::string& code) {
  if (code.empty()) code = kResultOk;
}

}  // namespace

Outcome OpenTransfer(Database& db, TransferOpenRecord& record, const Clock& clock) {
  for (int attempt = 0; attempt < kAllocationAttempts; ++attempt) {
    long long highest = 0;
    if (!FirstNumber(db, "SELECT 通番 FROM FL1102処理履歴ファイル ORDER BY 通番 DESC, 枝番 DESC LIMIT 1", {},
                     "通番", highest)) {
      return DatabaseFailure("cannot read the highest transfer number", db);
    }
    const TransferNo candidate = std::max(highest, record.above) + 1;
    const int written = InsertRowStart(
        db, {candidate, 0, record.direction, record.partnerKind, record.processKind, record.centreCode}, clock);
    if (written < 0) return DatabaseFailure("cannot write " + RowName(candidate, 0), db);
    if (written > 0) {
      record.transferNo = candidate;
      return Outcome::Success();
    }
  }
  return Outcome::Failure(kResultFailed, kResultOk, "no free transfer number after several attempts");
}

Outcome StartHistoryStep(Database& db, StepStartRecord& record, const Clock& clock) {
  if (record.transferNo == 0) return Outcome::Failure(kResultFailed, kResultOk, "a step of transfer 0");
  BlankIfEmpty(record.direction);
  BlankIfEmpty(record.partnerKind);
  BlankIfEmpty(record.processKind);
  for (int attempt = 0; attempt < kAllocationAttempts; ++attempt) {
    long long highest = 0;
    if (!FirstNumber(db, "SELECT 枝番 FROM FL1102処理履歴ファイル WHERE 通番 = :1 ORDER BY 枝番 DESC LIMIT 1",
                     {record.transferNo}, "枝番", highest)) {
      return DatabaseFailure("cannot read the branches of transfer " + std::to_string(record.transferNo), db);
    }
    if (highest >= INT16_MAX) {
      return Outcome::Failure(kResultFailed, kResultOk,
                              "transfer " + std::to_string(record.transferNo) + " has no free branch number");
    }
    const int candidate = static_cast<int>(highest) + 1;
    const int written = InsertRowStart(db,
                                       {record.transferNo, candidate, record.direction, record.partnerKind,
                                        record.processKind, record.centreCode},
                                       clock);
    if (written < 0) return DatabaseFailure("cannot write " + RowName(record.transferNo, candidate), db);
    if (written > 0) {
      record.branchNo = static_cast<int16_t>(candidate);
      return Outcome::Success();
    }
  }
  return Outcome::Failure(kResultFailed, kResultOk, "no free branch number after several attempts");
}

Outcome CloseHistoryRow(Database& db, RowCloseRecord& record, const Clock& clock) {
  const std::string row = RowName(record.transferNo, record.branchNo);
  if (record.transferNo == 0) return Outcome::Failure(kResultFailed, kResultOk, "cannot close " + row);
  ResultSet rs;
  if (!db.Query("SELECT 通番 FROM FL1102処理履歴ファイル WHERE 通番 = :1 AND 枝番 = :2",
                {record.transferNo, static_cast<long long>(record.branchNo)}, rs)) {
    return DatabaseFailure("cannot read " + row, db);
  }
  if (rs.AtEnd()) {
    record.endCode = kResultFailed;
    return Outcome::Failure(kResultFailed, kResultOk, "there is no " + row + " to close");
  }
  BlankIfEmpty(record.partnerCompanyCode);
  BlankIfEmpty(record.bpid);
  BlankIfEmpty(record.tradeInfoKind);
  BlankIfEmpty(record.storageMode);
  BlankIfEmpty(record.fileName);
  ZeroCodeIfEmpty(record.endCode);
  ZeroCodeIfEmpty(record.detailCode);
  const LocalTime now = clock();
  const bool updated = db.ExecuteSql(
      "UPDATE FL1102処理履歴ファイル SET 処理終了日付 = :1, 処理終了時刻 = :2,"
      " 相手先企業コード = :3, BPID = :4, 取引情報区分 = :5, 最終シーケンス番号 = :6,"
      " 入力レコード数 = :7, 入力ファイルサイズ = :8, 出力レコード数 = :9,"
      " 出力ファイルサイズ = :10, 格納モード = :11, 終了コード = :12, 詳細コード = :13,"
      " ファイル名 = :14 WHERE 通番 = :15 AND 枝番 = :16",
      {now.date, now.time, record.partnerCompanyCode, record.bpid, record.tradeInfoKind, record.lastSequenceNo,
       record.inputRecords, record.inputFileSize, record.outputRecords, record.outputFileSize, record.storageMode,
       record.endCode, record.detailCode, record.fileName, record.transferNo,
       static_cast<long long>(record.branchNo)});
  return updated ? Outcome::Success() : DatabaseFailure("cannot close " + row, db);
}

bool IsCiiFileName(std::string_view fileName) {
  if (fileName.size() < 3) return false;
  std::string_view tail = fileName.substr(fileName.size() - 3);
  for (size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(tail[i])) != "CII"[i]) return false;
  }
  return true;
}

Outcome StartCiiXmlStep(Database& db, std::string_view fileName, StepStartRecord& record, const Clock& clock) {
  record.processKind = IsCiiFileName(fileName) ? kKindXmlFromCii : kKindXmlOther;
  return StartHistoryStep(db, record, clock);
}

Outcome StartLocalFormatStep(Database& db, std::string_view fileName, StepStartRecord& record,
                             const Clock& clock) {
  record.processKind = IsCiiFileName(fileName) ? kKindLocalFromCii : kKindLocalOther;
  return StartHistoryStep(db, record, clock);
}

Outcome CloseHistoryRowWithFile(Database& db, std::string_view fileName, RowCloseRecord& record,
                                const Clock& clock) {
  record.fileName = std::string(fileName);
  return CloseHistoryRow(db, record, clock);
}

}  // namespace edi
