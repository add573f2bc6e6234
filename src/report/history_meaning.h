// What the codes of a history row mean: the processing kind's name, and the
// end and detail codes in words, from the station's one table of result
// codes and the converters' table of codes.
#pragma once

#include <string>
#include <string_view>

#include "base/language.h"
#include "report/history_reader.h"

namespace edi::report {

// "01" → "受信処理", "10" → "受信", "31" → "ローカル変換(CII)", ... ; "" for others.
std::string_view KindName(std::string_view kind);

// True for the conversion kinds, whose detail code is a converter code.
bool IsConversionKind(std::string_view kind);

std::string EndCodeMeaning(const HistoryRow& row, Language language = Language::kEnglish);
std::string DetailCodeMeaning(const HistoryRow& row, Language language = Language::kEnglish);

// "done", "failed", "stopped": the ending's name in machine-read outputs.
std::string_view EndingWord(Ending ending);

// The transfer's outcome in a line: "done", "failed at 枝番 2 (ローカル変換(CII)):
// 9999/0019 ...", "stopped after 枝番 1 (受信)"; in Japanese "正常終了",
// "異常終了 枝番 2 (ローカル変換(CII)): 9999/0019 ...", "中断 枝番 1 (受信)の後".
std::string DescribeEnding(const TransferStory& story, Language language = Language::kEnglish);

}  // namespace edi::report
