#include "startup/common_routines.h"

#include <regex>

#include "startup/ansi_codec.h"

namespace edi {

std::string TrimBlanks(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return std::string(s);
}

std::string NullToTrimmed(const DbValue& value, std::string_view fallback) {
  return value ? TrimBlanks(*value) : std::string(fallback);
}

std::string NullToDefault(const DbValue& value, std::string_view fallback) {
  return value ? *value : std::string(fallback);
}

bool MatchPattern(std::string_view pattern, std::string_view text) {
  try {
    std::regex re(pattern.begin(), pattern.end(),
                  std::regex::ECMAScript | std::regex::icase);
    return std::regex_search(text.begin(), text.end(), re);
  } catch (const std::regex_error&) {
    return false;
  }
}

std::string PadCentre(std::string_view centreCode) {
  std::string padded(centreCode);
  for (size_t n = Utf8Length(padded); n < 12; ++n) padded.push_back(' ');
  for (char& c : padded) {
    if (c == ' ') c = '_';
  }
  return padded;
}

}  // namespace edi
