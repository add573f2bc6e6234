#include "report/history_reader.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "base/result_codes.h"
#include "base/text.h"
#include "jobs/history.h"

namespace edi::report {
namespace {

size_t ColumnIndex(std::string_view column) {
  for (size_t i = 0; i < kHistoryColumnCount; ++i) {
    if (kHistoryColumns[i] == column) return i;
  }
  return kHistoryColumnCount;
}

HistoryRow RowOf(const ResultSet& rs) {
  HistoryRow row;
  row.values.reserve(kHistoryColumnCount);
  for (std::string_view column : kHistoryColumns) row.values.push_back(rs.Get(column));
  return row;
}

long long NumberOf(std::string_view text) {
  long long value = 0;
  text = TrimBlanksView(text);
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// The query over the transfers that pass the filter, and its parameters.
std::string FilteredQuery(const HistoryFilter& filter, SqlParams& params) {
  std::string where = "t.枝番 = 0";
  auto add = [&](const char* condition, SqlParam value) {
    params.push_back(std::move(value));
    where += std::string(" AND ") + condition + " :" + std::to_string(params.size());
  };
  if (filter.transferNo) add("t.通番 =", *filter.transferNo);
  if (filter.centreCode) add("RTRIM(t.センターコード) =", TrimBlanks(*filter.centreCode));
  if (filter.since) add("t.処理開始日付 >=", *filter.since);
  if (filter.until) add("t.処理開始日付 <=", *filter.until);
  return "SELECT h.* FROM FL1102処理履歴ファイル h WHERE h.通番 IN "
         "( SELECT t.通番 FROM FL1102処理履歴ファイル t WHERE " + where + " ) ORDER BY h.通番 DESC, h.枝番";
}

std::string CentreName(Database& db, const std::string& code, std::map<std::string, std::string>& known) {
  auto found = known.find(code);
  if (found != known.end()) return found->second;
  ResultSet rs;
  std::string name;
  if (db.Query("SELECT センター名 FROM FL1903EDI制御マスタ WHERE センターコード = :1", {code}, rs) &&
      !rs.AtEnd() && rs.Get("センター名")) {
    name = TrimBlanks(*rs.Get("センター名"));
  }
  return known.emplace(code, name).first->second;
}

// What the ledger of received files says of the transfer: the transfer it
// re-ran and the earlier ones it duplicates.
void ReadLedgerLinks(Database& db, TransferStory& story) {
  ResultSet rs;
  if (!db.Query("SELECT 再処理元通番, 重複元通番 FROM FL9101受信ファイル台帳 WHERE 通番 = :1 ORDER BY 連番",
                {story.transferNo}, rs)) {
    return;
  }
  for (; !rs.AtEnd(); rs.MoveNext()) {
    if (rs.Get("再処理元通番")) story.rerunOf = NumberOf(*rs.Get("再処理元通番"));
    if (rs.Get("重複元通番")) {
      const TransferNo earlier = NumberOf(*rs.Get("重複元通番"));
      if (std::find(story.duplicateOf.begin(), story.duplicateOf.end(), earlier) == story.duplicateOf.end()) {
        story.duplicateOf.push_back(earlier);
      }
    }
  }
}

}  // namespace

bool IsNumericColumn(std::string_view column) {
  return column == "通番" || column == "枝番" || column == "最終シーケンス番号" || column == "入力レコード数" ||
         column == "入力ファイルサイズ" || column == "出力レコード数" || column == "出力ファイルサイズ";
}

const std::optional<std::string>& HistoryRow::Value(std::string_view column) const {
  static const std::optional<std::string> kNull;
  const size_t index = ColumnIndex(column);
  return index < values.size() ? values[index] : kNull;
}

std::string HistoryRow::Text(std::string_view column) const {
  const auto& value = Value(column);
  return value ? TrimBlanks(*value) : std::string();
}

int HistoryRow::Branch() const { return static_cast<int>(NumberOf(Text("枝番"))); }

void JudgeEnding(TransferStory& story) {
  auto failed = [](const HistoryRow& row) { return row.Closed() && row.Text("終了コード") != kResultOk; };
  for (size_t i = 0; i < story.steps.size(); ++i) {
    const HistoryRow& step = story.steps[i];
    const bool retried = step.Text("処理種別") == kKindTransport && i + 1 < story.steps.size() &&
                         story.steps[i + 1].Text("処理種別") == kKindTransport;
    if (failed(step) && !retried) {
      story.ending = Ending::kFailed;
      story.failedBranch = step.Branch();
      return;
    }
  }
  for (const HistoryRow& step : story.steps) {
    if (!step.Closed()) {
      story.ending = Ending::kStopped;
      story.failedBranch = step.Branch();
      return;
    }
  }
  if (!story.transfer.Closed()) {
    story.ending = Ending::kStopped;
    story.failedBranch = story.steps.empty() ? 0 : story.steps.back().Branch();
  } else if (failed(story.transfer)) {
    story.ending = Ending::kFailed;
    story.failedBranch = 0;
  } else {
    story.ending = Ending::kDone;
    story.failedBranch = -1;
  }
}

bool ReadHistory(Database& db, const HistoryFilter& filter, std::vector<TransferStory>& out, std::string& error) {
  out.clear();
  SqlParams params;
  ResultSet rs;
  if (!db.Query(FilteredQuery(filter, params), params, rs)) {
    error = "the history FL1102処理履歴ファイル cannot be read: " + db.LastError();
    return false;
  }
  std::map<std::string, std::string> names;
  for (; !rs.AtEnd(); rs.MoveNext()) {
    HistoryRow row = RowOf(rs);
    const TransferNo transferNo = NumberOf(row.Text("通番"));
    if (out.empty() || out.back().transferNo != transferNo) {
      out.emplace_back();
      out.back().transferNo = transferNo;
    }
    TransferStory& story = out.back();
    if (row.Branch() == 0) {
      story.transfer = std::move(row);
      story.centreName = CentreName(db, story.transfer.Text("センターコード"), names);
    } else {
      story.steps.push_back(std::move(row));
    }
  }
  for (TransferStory& story : out) {
    JudgeEnding(story);
    ReadLedgerLinks(db, story);
  }
  if (filter.failedOnly) std::erase_if(out, [](const TransferStory& s) { return s.ending == Ending::kDone; });
  return true;
}

bool IsHistoryDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '/' || text[7] != '/') return false;
  for (size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u}) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

}  // namespace edi::report
