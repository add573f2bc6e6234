// Small routines shared by the jobs, the transports and the windows: the
// pattern test and the padded centre code. (NULL handling of database values
// lives with the database layer, trimming in the base library.)
#pragma once

#include <string>
#include <string_view>

#include "base/text.h"
#include "db/null_value.h"

namespace edi {

// True when the regular expression `pattern` (ECMAScript syntax) matches
// anywhere in `text`, ignoring case. A pattern that does not compile matches
// nothing.
bool MatchPattern(std::string_view pattern, std::string_view text);

// The centre code padded on the right with blanks to 12 characters, then
// every blank replaced by "_". A longer code keeps its length (its blanks are
// still replaced): the field is only ever filled, never cut.
std::string PadCentre(std::string_view centreCode);

}  // namespace edi
