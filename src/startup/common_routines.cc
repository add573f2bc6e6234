#include "startup/common_routines.h"

#include <regex>

#include "base/ansi_codec.h"

namespace edi {

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
