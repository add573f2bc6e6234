#include "report/err_log_lines.h"

#include <charconv>
#include <fstream>

#include "base/ansi_codec.h"

namespace edi::report {
namespace {

constexpr std::string_view kStartMark = " start--";

// The transfer a start line names, or -1 when `line` is not a start line.
TransferNo StartLineTransfer(std::string_view line) {
  if (line.substr(0, 6) != "0000--") return -1;
  const size_t mark = line.find(kStartMark);
  if (mark == std::string_view::npos) return -1;
  const char* digits = line.data() + mark + kStartMark.size();
  TransferNo transfer = -1;
  const auto [end, error] = std::from_chars(digits, line.data() + line.size(), transfer);
  return error == std::errc() && end != digits ? transfer : -1;
}

}  // namespace

std::vector<std::string> ErrLogLinesOf(const std::filesystem::path& path, TransferNo transferNo) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const long long start = StartLineTransfer(line);
    if (start >= 0) inside = start == transferNo;
    if (inside) lines.push_back(IsValidUtf8(line) ? line : AnsiToUtf8(line));
  }
  return lines;
}

}  // namespace edi::report
