#include "report/history_format.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "base/ansi_codec.h"
#include "report/display_width.h"
#include "report/history_meaning.h"

namespace edi::report {
namespace {

// A code with its meaning: "9999 failed (...)", or the code alone.
std::string CodeWithMeaning(const std::string& code, const std::string& meaning) {
  if (code.empty()) return "";
  return meaning.empty() ? code : code + " " + meaning;
}

std::string Time(const HistoryRow& row, const char* date, const char* time) {
  if (!row.Value(date)) return "-";
  return row.Text(time);
}

constexpr size_t kStepColumns = 12;
constexpr std::array<const char*, kStepColumns> kStepTitles = {
    "枝番", "処理種別", "開始", "終了", "終了コード", "詳細コード", "ファイル名", "BPID", "取引情報区分", "格納モード",
    "入力件数", "出力件数"};

std::array<std::string, kStepColumns> StepCells(const HistoryRow& row, Language language) {
  const std::string kind = row.Text("処理種別");
  std::string kindName(KindName(kind));
  return {row.Text("枝番"),
          kindName.empty() ? kind : kind + " " + kindName,
          Time(row, "処理開始日付", "処理開始時刻"),
          Time(row, "処理終了日付", "処理終了時刻"),
          CodeWithMeaning(row.Text("終了コード"), EndCodeMeaning(row, language)),
          CodeWithMeaning(row.Text("詳細コード"), DetailCodeMeaning(row, language)),
          row.Text("ファイル名"),
          row.Text("BPID"),
          row.Text("取引情報区分"),
          row.Text("格納モード"),
          row.Text("入力レコード数"),
          row.Text("出力レコード数")};
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}


bool IsPlainNumber(const std::string& text) {
  if (text.empty() || text.size() > 18) return false;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return text.size() == 1 || text[text[0] == '-' ? 1 : 0] != '0';
}

std::string JsonRow(const HistoryRow& row, Language language) {
  std::string out = "{";
  for (size_t i = 0; i < kHistoryColumnCount; ++i) {
    const auto& value = row.values[i];
    const std::string column(kHistoryColumns[i]);
    out += JsonString(column) + ":";
    if (!value) {
      out += "null";
    } else {
      const std::string text = row.Text(column);
      out += IsNumericColumn(column) && IsPlainNumber(text) ? text : JsonString(*value);
    }
    out += ",";
  }
  out += "\"処理種別名\":" + JsonString(std::string(KindName(row.Text("処理種別"))));
  out += ",\"終了コードの意味\":" + JsonString(EndCodeMeaning(row, language));
  out += ",\"詳細コードの意味\":" + JsonString(DetailCodeMeaning(row, language));
  return out + "}";
}

// "  (re-run of 通番 3; duplicate of 通番 1)" when the ledger links the story.
std::string Links(const TransferStory& story, Language language) {
  std::vector<std::string> links;
  if (story.rerunOf) {
    links.push_back(std::string(InLanguage(language, "re-run of 通番 ", "再処理元 通番 ")) + std::to_string(*story.rerunOf));
  }
  for (const TransferNo earlier : story.duplicateOf) {
    links.push_back(std::string(InLanguage(language, "duplicate of 通番 ", "重複元 通番 ")) + std::to_string(earlier));
  }
  if (links.empty()) return "";
  std::string text = "  (";
  for (size_t i = 0; i < links.size(); ++i) text += (i == 0 ? "" : "; ") + links[i];
  return text + ")";
}

std::string NumberList(const std::vector<TransferNo>& numbers, const char* separator) {
  std::string text;
  for (size_t i = 0; i < numbers.size(); ++i) text += (i == 0 ? "" : separator) + std::to_string(numbers[i]);
  return text;
}

}  // namespace

// A JSON string of `text`; bytes that are not UTF-8 become U+FFFD, so the
// document stays valid whatever a centre's name holds.
std::string JsonString(const std::string& raw) {
  const std::string text = ValidUtf8(raw);
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string FormatHistoryText(const std::vector<TransferStory>& stories, Language language) {
  if (stories.empty()) return std::string(InLanguage(language, "no transfers", "処理履歴はありません")) + "\n";
  std::vector<std::array<std::string, kStepColumns>> cells;
  std::array<size_t, kStepColumns> widths{};
  auto measure = [&](const auto& row) {
    for (size_t c = 0; c < kStepColumns; ++c) widths[c] = std::max(widths[c], DisplayWidth(row[c]));
  };
  std::array<std::string, kStepColumns> titles;
  std::copy(kStepTitles.begin(), kStepTitles.end(), titles.begin());
  measure(titles);
  for (const auto& story : stories) {
    for (const auto& step : story.steps) measure(StepCells(step, language));
  }
  auto line = [&](const std::array<std::string, kStepColumns>& row) {
    std::string out = "  ";
    for (size_t c = 0; c < kStepColumns; ++c) out += c + 1 < kStepColumns ? PadToWidth(row[c], widths[c] + 2) : row[c];
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out + "\n";
  };
  std::string out;
  for (const auto& story : stories) {
    const HistoryRow& t = story.transfer;
    out += "通番 " + std::to_string(story.transferNo) + "  " + t.Text("処理開始日付") + " " + t.Text("処理開始時刻") +
           "  " + t.Text("センターコード") + (story.centreName.empty() ? "" : " " + story.centreName) + "  " +
           DescribeEnding(story, language) + Links(story, language) + "\n";
    out += line(titles);
    for (const auto& step : story.steps) out += line(StepCells(step, language));
    if (!story.errLog.empty()) {
      out += "  ERR.LOG:\n";
      for (const auto& logLine : story.errLog) out += "    " + logLine + "\n";
    }
    out += "\n";
  }
  return out;
}

std::string FormatHistoryCsv(const std::vector<TransferStory>& stories, Language language) {
  std::string out;
  for (std::string_view column : kHistoryColumns) out += std::string(column) + ",";
  out += "処理種別名,終了コードの意味,詳細コードの意味,センター名,結果,再処理元通番,重複元通番\r\n";
  for (const auto& story : stories) {
    auto write = [&](const HistoryRow& row) {
      for (size_t i = 0; i < kHistoryColumnCount; ++i) out += CsvField(row.values[i].value_or("")) + ",";
      out += CsvField(std::string(KindName(row.Text("処理種別")))) + "," + CsvField(EndCodeMeaning(row, language)) +
             "," + CsvField(DetailCodeMeaning(row, language)) + "," + CsvField(story.centreName) + "," +
             std::string(EndingWord(story.ending)) + "," +
             (story.rerunOf ? std::to_string(*story.rerunOf) : std::string()) + "," +
             NumberList(story.duplicateOf, " ") + "\r\n";
    };
    write(story.transfer);
    for (const auto& step : story.steps) write(step);
  }
  return out;
}

std::string FormatHistoryJson(const std::vector<TransferStory>& stories, Language language) {
  std::string out = "[";
  for (size_t s = 0; s < stories.size(); ++s) {
    const TransferStory& story = stories[s];
    out += s == 0 ? "\n" : ",\n";
    out += "{\"通番\":" + std::to_string(story.transferNo);
    out += ",\"センターコード\":" + JsonString(story.transfer.Text("センターコード"));
    out += ",\"センター名\":" + JsonString(story.centreName);
    out += ",\"outcome\":" + JsonString(std::string(EndingWord(story.ending)));
    out += ",\"outcomeText\":" + JsonString(DescribeEnding(story, language));
    out += ",\"failedBranch\":" + (story.ending == Ending::kDone ? std::string("null") : std::to_string(story.failedBranch));
    out += ",\"rerunOf\":" + (story.rerunOf ? std::to_string(*story.rerunOf) : std::string("null"));
    out += ",\"duplicateOf\":[" + NumberList(story.duplicateOf, ",") + "]";
    out += ",\"transfer\":" + JsonRow(story.transfer, language) + ",\"steps\":[";
    for (size_t i = 0; i < story.steps.size(); ++i) out += (i == 0 ? "" : ",") + JsonRow(story.steps[i], language);
    out += "],\"errLog\":[";
    for (size_t i = 0; i < story.errLog.size(); ++i) out += (i == 0 ? "" : ",") + JsonString(story.errLog[i]);
    out += "]}";
  }
  return out + (stories.empty() ? "]\n" : "\n]\n");
}

}  // namespace edi::report
