#include "report/history_meaning.h"

#include <charconv>

#include "base/result_codes.h"
#include "cii/err_log.h"
#include "jobs/history.h"

namespace edi::report {

std::string_view KindName(std::string_view kind) {
  if (kind == kKindReceiveRun) return "受信処理";
  if (kind == kKindTransport) return "受信";
  if (kind == kKindLocalFromCii) return "ローカル変換(CII)";
  if (kind == kKindLocalOther) return "ローカル変換";
  if (kind == kKindXmlFromCii) return "CII/XML変換(CII)";
  if (kind == kKindXmlOther) return "CII/XML変換(XML)";
  if (kind == kKindRegistration) return "データ登録";
  return "";
}

bool IsConversionKind(std::string_view kind) {
  return kind == kKindLocalFromCii || kind == kKindLocalOther || kind == kKindXmlFromCii || kind == kKindXmlOther;
}

std::string EndCodeMeaning(const HistoryRow& row, Language language) {
  return std::string(DescribeResultCode(row.Text("終了コード"), language));
}

std::string DetailCodeMeaning(const HistoryRow& row, Language language) {
  const std::string detail = row.Text("詳細コード");
  if (detail.empty() || detail == kResultOk) return "";
  if (IsConversionKind(row.Text("処理種別"))) {
    int code = 0;
    const auto [end, error] = std::from_chars(detail.data(), detail.data() + detail.size(), code);
    if (error == std::errc() && end == detail.data() + detail.size()) return std::string(cii::DescribeConverterCode(code, language));
    return "";
  }
  return std::string(DescribeDetailCode(row.Text("終了コード"), detail, language));
}

std::string_view EndingWord(Ending ending) {
  switch (ending) {
    case Ending::kDone: return "done";
    case Ending::kFailed: return "failed";
    case Ending::kStopped: return "stopped";
  }
  return "";
}

std::string DescribeEnding(const TransferStory& story, Language language) {
  const bool japanese = language == Language::kJapanese;
  if (story.ending == Ending::kDone) return japanese ? "正常終了" : "done";
  const HistoryRow* row = &story.transfer;
  for (const HistoryRow& step : story.steps) {
    if (step.Branch() == story.failedBranch) row = &step;
  }
  const std::string where = "枝番 " + std::to_string(story.failedBranch) + " (" +
                            std::string(KindName(row->Text("処理種別"))) + ")";
  if (story.ending == Ending::kStopped) {
    const bool after = row->Closed() || row == &story.transfer;
    if (japanese) return "中断 " + where + (after ? "の後" : "の途中");
    return (after ? "stopped after " : "stopped in ") + where;
  }
  std::string text = (japanese ? "異常終了 " : "failed at ") + where + ": " + row->Text("終了コード");
  if (!row->Text("詳細コード").empty()) text += "/" + row->Text("詳細コード");
  std::string meaning = DetailCodeMeaning(*row, language);
  if (meaning.empty()) meaning = EndCodeMeaning(*row, language);
  if (!meaning.empty()) text += " " + meaning;
  return text;
}

}  // namespace edi::report
