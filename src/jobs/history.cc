#include "jobs/history.h"

#include <cctype>
#include <cstdio>
#include <ctime>

namespace edi {
namespace {

constexpr char kOk[] = "0000";
constexpr char kFailed[] = "9999";
constexpr int kAllocationAttempts = 8;

constexpr char kInsertRow[] =
    "INSERT INTO FL1102処理履歴ファイル ( 通番 ,枝番 ,送受信種別 ,相手先種別 ,処理種別"
    " ,処理開始日付 ,処理開始時刻 ,センターコード ) VALUES ( :1 ,:2 ,:3 ,:4 ,:5 ,:6 ,:7 ,:8 )";

struct RowStart {
  long long transferNo;
  int branchNo;
  const std::string& direction;
  const std::string& partnerKind;
  const std::string& processKind;
  const std::string& centreCode;
};

bool RowExists(Database& db, long long transferNo, int branchNo) {
  ResultSet rs;
  return db.OpenReadOnlyResultset(
             "SELECT 通番 FROM FL1102処理履歴ファイル WHERE 通番 = :1 AND 枝番 = :2",
             {transferNo, static_cast<long long>(branchNo)}, rs) &&
         !rs.AtEnd();
}

// Inserts the start columns of a row. Returns 1 when written, 0 when the key
// was taken meanwhile by another writer, -1 on any other failure.
int InsertRowStart(Database& db, const RowStart& row, const HistoryClock& clock) {
  const HistoryTimestamp now = clock();
  if (db.ExecuteSql(kInsertRow, {row.transferNo, static_cast<long long>(row.branchNo),
                                 row.direction, row.partnerKind, row.processKind, now.date,
                                 now.time, row.centreCode})) {
    return 1;
  }
  return RowExists(db, row.transferNo, row.branchNo) ? 0 : -1;
}

// The first value of `column` in the rows of `sql`, as a number; `fallback`
// when there is no row. False on a database error.
bool FirstNumber(Database& db, const char* sql, const SqlParams& params, const char* column,
                 long long& out) {
  ResultSet rs;
  if (!db.OpenReadOnlyResultset(sql, params, rs)) return false;
  if (rs.AtEnd()) {
    out = 0;
    return true;
  }
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
  if (code.empty()) code = kOk;
}

}  // namespace

HistoryTimestamp CurrentLocalTimestamp() {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  char date[48];
  char time[48];
  std::snprintf(date, sizeof date, "%04d/%02d/%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday);
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
  return {date, time};
}

void OpenTransfer(Database& db, TransferOpenRecord& record, const HistoryClock& clock) {
  record.result = kFailed;
  for (int attempt = 0; attempt < kAllocationAttempts; ++attempt) {
    long long highest = 0;
    if (!FirstNumber(db,
                     "SELECT 通番 FROM FL1102処理履歴ファイル ORDER BY 通番 DESC, 枝番 DESC LIMIT 1",
                     {}, "通番", highest)) {
      return;
    }
    const long long candidate = highest + 1;
    int written = InsertRowStart(db,
                                 {candidate, 0, record.direction, record.partnerKind,
                                  record.processKind, record.centreCode},
                                 clock);
    if (written < 0) return;
    if (written > 0) {
      record.transferNo = candidate;
      record.result = kOk;
      return;
    }
  }
}

void StartHistoryStep(Database& db, StepStartRecord& record, const HistoryClock& clock) {
  if (record.transferNo == 0) {
    db.CommitTransaction();
    record.result = kFailed;
    return;
  }
  record.result = kFailed;
  BlankIfEmpty(record.direction);
  BlankIfEmpty(record.partnerKind);
  BlankIfEmpty(record.processKind);
  for (int attempt = 0; attempt < kAllocationAttempts; ++attempt) {
    long long highest = 0;
    if (!FirstNumber(db,
                     "SELECT 枝番 FROM FL1102処理履歴ファイル WHERE 通番 = :1 ORDER BY 枝番 DESC"
                     " LIMIT 1",
                     {record.transferNo}, "枝番", highest)) {
      return;
    }
    if (highest >= INT16_MAX) return;
    const int candidate = static_cast<int>(highest) + 1;
    int written = InsertRowStart(db,
                                 {record.transferNo, candidate, record.direction,
                                  record.partnerKind, record.processKind, record.centreCode},
                                 clock);
    if (written < 0) return;
    if (written > 0) {
      record.branchNo = static_cast<int16_t>(candidate);
      record.result = kOk;
      return;
    }
  }
}

void CloseHistoryRow(Database& db, RowCloseRecord& record, const HistoryClock& clock) {
  if (record.transferNo == 0) {
    record.result = kFailed;
    return;
  }
  ResultSet rs;
  if (!db.OpenUpdatableResultset(
          "SELECT * FROM FL1102処理履歴ファイル WHERE 通番 = :1 AND 枝番 = :2",
          {record.transferNo, static_cast<long long>(record.branchNo)}, rs)) {
    record.result = kFailed;
    return;
  }
  if (rs.AtEnd()) {
    db.CommitTransaction();
    record.endCode = kFailed;
    record.result = kFailed;
    return;
  }
  rs.Close();
  BlankIfEmpty(record.partnerCompanyCode);
  BlankIfEmpty(record.bpid);
  BlankIfEmpty(record.tradeInfoKind);
  BlankIfEmpty(record.storageMode);
  BlankIfEmpty(record.fileName);
  ZeroCodeIfEmpty(record.endCode);
  ZeroCodeIfEmpty(record.detailCode);
  const HistoryTimestamp now = clock();
  const bool updated = db.ExecuteSql(
      "UPDATE FL1102処理履歴ファイル SET 処理終了日付 = :1, 処理終了時刻 = :2,"
      " 相手先企業コード = :3, BPID = :4, 取引情報区分 = :5, 最終シーケンス番号 = :6,"
      " 入力レコード数 = :7, 入力ファイルサイズ = :8, 出力レコード数 = :9,"
      " 出力ファイルサイズ = :10, 格納モード = :11, 終了コード = :12, 詳細コード = :13,"
      " ファイル名 = :14 WHERE 通番 = :15 AND 枝番 = :16",
      {now.date, now.time, record.partnerCompanyCode, record.bpid, record.tradeInfoKind,
       record.lastSequenceNo, record.inputRecords, record.inputFileSize, record.outputRecords,
       record.outputFileSize, record.storageMode, record.endCode, record.detailCode,
       record.fileName, record.transferNo, static_cast<long long>(record.branchNo)});
  record.result = updated ? kOk : kFailed;
}

bool IsCiiFileName(std::string_view fileName) {
  if (fileName.size() < 3) return false;
  std::string_view tail = fileName.substr(fileName.size() - 3);
  for (size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(tail[i])) != "CII"[i]) return false;
  }
  return true;
}

void StartCiiXmlStep(Database& db, std::string_view fileName, StepStartRecord& record,
                     const HistoryClock& clock) {
  record.processKind = IsCiiFileName(fileName) ? kKindXmlFromCii : kKindXmlOther;
  StartHistoryStep(db, record, clock);
}

void StartLocalFormatStep(Database& db, std::string_view fileName, StepStartRecord& record,
                          const HistoryClock& clock) {
  record.processKind = IsCiiFileName(fileName) ? kKindLocalFromCii : kKindLocalOther;
  StartHistoryStep(db, record, clock);
}

void CloseHistoryRowWithFile(Database& db, std::string_view fileName, RowCloseRecord& record,
                             const HistoryClock& clock) {
  record.fileName = std::string(fileName);
  CloseHistoryRow(db, record, clock);
}

}  // namespace edi
