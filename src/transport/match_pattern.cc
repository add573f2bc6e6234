#include "transport/match_pattern.h"

#include <regex>

namespace edi {

bool MatchPattern(std::string_view pattern, std::string_view text) {
  try {
    std::regex re(pattern.begin(), pattern.end(), std::regex::ECMAScript | std::regex::icase);
    return std::regex_search(text.begin(), text.end(), re);
  } catch (const std::regex_error&) {
    return false;
  }
}

}  // namespace edi
