// The width of text on a terminal: full-width (and wide) characters take two
// columns, everything else one; half-width katakana take one.
#pragma once

#include <string>
#include <string_view>

namespace edi::report {

size_t DisplayWidth(std::string_view utf8);

// `utf8` followed by blanks up to `width` columns (nothing added when wider).
std::string PadToWidth(std::string_view utf8, size_t width);

}  // namespace edi::report
