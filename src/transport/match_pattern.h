// The name test of the mail transfer's send files: a regular expression
// searched anywhere in a file name, ignoring case.
#pragma once

#include <string_view>

namespace edi {

// True when the regular expression `pattern` (ECMAScript syntax) matches
// anywhere in `text`, ignoring case. A pattern that does not compile matches
// nothing.
bool MatchPattern(std::string_view pattern, std::string_view text);

}  // namespace edi
