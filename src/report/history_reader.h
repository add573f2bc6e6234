// Reads transfers back from FL1102処理履歴ファイル: each transfer's branch 0
// row with its steps in branch order, newest transfer first, and judges its
// outcome.
//
// ReadHistory returns false (with `error` set) only when the database cannot
// be read; an empty history is an empty list.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/transfer_names.h"
#include "db/database.h"

namespace edi::report {

// Every column of FL1102処理履歴ファイル, in the table's order.
inline constexpr std::string_view kHistoryColumns[] = {
    "通番",           "枝番",           "送受信種別",     "相手先種別",       "処理種別",
    "処理開始日付",   "処理開始時刻",   "センターコード", "処理終了日付",     "処理終了時刻",
    "相手先企業コード", "BPID",         "取引情報区分",   "最終シーケンス番号", "入力レコード数",
    "入力ファイルサイズ", "出力レコード数", "出力ファイルサイズ", "格納モード", "終了コード",
    "詳細コード",     "ファイル名"};
inline constexpr size_t kHistoryColumnCount = std::size(kHistoryColumns);

// True for the columns that hold numbers (JSON writes them as numbers).
bool IsNumericColumn(std::string_view column);

// One row of the history, every column as stored (nullopt for NULL).
struct HistoryRow {
  std::vector<std::optional<std::string>> values;  // in kHistoryColumns order

  const std::optional<std::string>& Value(std::string_view column) const;
  // The value trimmed of blanks, "" for NULL.
  std::string Text(std::string_view column) const;
  int Branch() const;
  bool Closed() const { return Value("処理終了日付").has_value(); }
};

enum class Ending { kDone, kFailed, kStopped };

struct TransferStory {
  TransferNo transferNo = 0;
  HistoryRow transfer;             // branch 0
  std::vector<HistoryRow> steps;   // branches 1, 2, ... in order
  std::string centreName;          // from FL1903EDI制御マスタ, "" when unknown
  Ending ending = Ending::kDone;
  int failedBranch = -1;           // kFailed: the first failing branch (0: the transfer row);
                                   // kStopped: the open branch, or the last step
  std::vector<std::string> errLog; // the converter log lines of the transfer, when asked for
  std::optional<TransferNo> rerunOf;   // the transfer it re-ran from the backup
  std::vector<TransferNo> duplicateOf; // earlier transfers that received and registered what it received
};

struct HistoryFilter {
  std::optional<TransferNo> transferNo;
  std::optional<std::string> centreCode;
  std::optional<std::string> since, until;  // yyyy/mm/dd, inclusive
  bool failedOnly = false;
};

// Every step "0000" and branch 0 closed with "0000": done. A step (or the
// transfer row) closed with another end code: failed, at the first such
// (a receive step followed by another receive step was a try that was
// repeated, and does not count). Otherwise a row left open: stopped.
void JudgeEnding(TransferStory& story);

bool ReadHistory(Database& db, const HistoryFilter& filter, std::vector<TransferStory>& out, std::string& error);

// True for text of the form yyyy/mm/dd.
bool IsHistoryDate(std::string_view text);

}  // namespace edi::report
