// The history told three ways: aligned text for a terminal (full-width
// characters count two columns), CSV with every column (one line per
// history row), and JSON with every column (one object per transfer).
#pragma once

#include <string>
#include <vector>

#include "report/history_reader.h"

namespace edi::report {

std::string FormatHistoryText(const std::vector<TransferStory>& stories);
std::string FormatHistoryCsv(const std::vector<TransferStory>& stories);
std::string FormatHistoryJson(const std::vector<TransferStory>& stories);

}  // namespace edi::report
