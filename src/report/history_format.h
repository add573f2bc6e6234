// The history told three ways: aligned text for a terminal (full-width
// characters count two columns), CSV with every column (one line per
// history row), and JSON with every column (one object per transfer).
#pragma once

#include <string>
#include <vector>

#include "base/language.h"
#include "report/history_reader.h"

namespace edi::report {

// The meanings of codes and the outcomes are told in `language`.
std::string FormatHistoryText(const std::vector<TransferStory>& stories, Language language = Language::kEnglish);
std::string FormatHistoryCsv(const std::vector<TransferStory>& stories, Language language = Language::kEnglish);
// A JSON string of `text`; bytes that are not UTF-8 become U+FFFD, so the
// document stays valid whatever a centre's name holds.
std::string JsonString(const std::string& text);

std::string FormatHistoryJson(const std::vector<TransferStory>& stories, Language language = Language::kEnglish);

}  // namespace edi::report
