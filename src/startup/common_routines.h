// Small routines shared by the jobs, the transports and the windows: NULL
// handling of database values, the pattern test, the padded centre code.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace edi {

// A database value: nullopt stands for NULL.
using DbValue = std::optional<std::string>;

// NULL gives `fallback`; any other value comes back without leading and
// trailing blanks.
std::string NullToTrimmed(const DbValue& value, std::string_view fallback);

// NULL gives `fallback`; any other value comes back unchanged.
std::string NullToDefault(const DbValue& value, std::string_view fallback);

// True when the regular expression `pattern` (ECMAScript syntax) matches
// anywhere in `text`, ignoring case. A pattern that does not compile matches
// nothing.
bool MatchPattern(std::string_view pattern, std::string_view text);

// The centre code padded on the right with blanks to 12 characters, then
// every blank replaced by "_". A longer code keeps its length (its blanks are
// still replaced): the field is only ever filled, never cut.
std::string PadCentre(std::string_view centreCode);

// Leading and trailing blanks (space, tab, CR, LF) removed.
std::string TrimBlanks(std::string_view text);

}  // namespace edi
