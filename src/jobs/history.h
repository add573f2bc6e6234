// The processing history FL1102処理履歴ファイル: one transfer per run of a
// centre (branch 0, 枝番 0) and one row per step of it (branches 1, 2, ...).
//
// Every operation returns its outcome: success when the row was written,
// "9999" otherwise, with the row and the driver's message as the reason.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/local_time.h"
#include "base/outcome.h"
#include "base/transfer_names.h"
#include "db/database.h"

namespace edi {

// Processing kinds (処理種別) written by the station. "50" is written only
// for a backup that failed.
inline constexpr char kKindReceiveRun[] = "01";
inline constexpr char kKindTransport[] = "10";
inline constexpr char kKindLocalFromCii[] = "31";
inline constexpr char kKindLocalOther[] = "32";
inline constexpr char kKindXmlFromCii[] = "33";
inline constexpr char kKindXmlOther[] = "34";
inline constexpr char kKindRegistration[] = "41";
inline constexpr char kKindBackup[] = "50";

struct TransferOpenRecord {
  std::string direction;    // 送受信種別: "R" receive, "S" send
  std::string partnerKind;  // 相手先種別
  std::string processKind;  // 処理種別
  std::string centreCode;   // センターコード
  TransferNo transferNo = 0; // 通番 (out)
  TransferNo above = 0;      // the number taken is also above this one (numbers found in file names)
};

struct StepStartRecord {
  TransferNo transferNo = 0;  // 通番
  std::string direction;     // 送受信種別
  std::string partnerKind;   // 相手先種別
  std::string processKind;   // 処理種別
  std::string centreCode;    // センターコード
  int16_t branchNo = 0;      // 枝番 (out)
};

struct RowCloseRecord {
  TransferNo transferNo = 0;       // 通番
  int16_t branchNo = 0;            // 枝番
  std::string partnerCompanyCode;  // 相手先企業コード
  std::string bpid;                // BPID
  std::string tradeInfoKind;       // 取引情報区分
  long long lastSequenceNo = 0;    // 最終シーケンス番号
  long long inputRecords = 0;      // 入力レコード数
  long long inputFileSize = 0;     // 入力ファイルサイズ
  long long outputRecords = 0;     // 出力レコード数
  long long outputFileSize = 0;    // 出力ファイルサイズ
  std::string storageMode;         // 格納モード
  std::string endCode;             // 終了コード
  std::string detailCode;          // 詳細コード
  std::string fileName;            // ファイル名

  // Takes the end and detail codes of `outcome`.
  void SetCodes(const Outcome& outcome) {
    endCode = outcome.endCode;
    detailCode = outcome.detailCode;
  }
};

// Allocates a new 通番 (highest + 1, or 1 for an empty table, and above
// record.above) and writes its branch-0 row. When another station takes the same number first, the
// allocation is retried a few times; it never writes two transfers with one
// number.
Outcome OpenTransfer(Database& db, TransferOpenRecord& record,
                  const Clock& clock = CurrentLocalTime);

// Allocates the next 枝番 under record.transferNo and writes the step row.
// Empty direction, partner kind and processing kind become " " (in the
// record too). 通番 0 writes nothing and fails.
Outcome StartHistoryStep(Database& db, StepStartRecord& record,
                      const Clock& clock = CurrentLocalTime);

// Writes the end columns of row (通番, 枝番). Empty texts become " " and
// empty end or detail codes "0000" (in the record too). A row that does not
// exist: nothing is written, 終了コード becomes "9999" and the close fails.
Outcome CloseHistoryRow(Database& db, RowCloseRecord& record,
                     const Clock& clock = CurrentLocalTime);

// True when the last three characters of `fileName`, upper-cased, are "CII".
bool IsCiiFileName(std::string_view fileName);

// Sets 処理種別 "33" (a CII file) or "34", then StartHistoryStep.
Outcome StartCiiXmlStep(Database& db, std::string_view fileName, StepStartRecord& record,
                     const Clock& clock = CurrentLocalTime);

// Sets 処理種別 "31" (a CII file) or "32", then StartHistoryStep.
Outcome StartLocalFormatStep(Database& db, std::string_view fileName, StepStartRecord& record,
                          const Clock& clock = CurrentLocalTime);

// Sets ファイル名, then CloseHistoryRow.
Outcome CloseHistoryRowWithFile(Database& db, std::string_view fileName, RowCloseRecord& record,
                             const Clock& clock = CurrentLocalTime);

}  // namespace edi
