// NULL handling of database values: a column value is nullopt for NULL.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/text.h"

namespace edi {

// A database value: nullopt stands for NULL.
using DbValue = std::optional<std::string>;

// NULL gives `fallback`; any other value comes back without leading and
// trailing blanks.
inline std::string NullToTrimmed(const DbValue& value, std::string_view fallback) {
  return value ? TrimBlanks(*value) : std::string(fallback);
}

// NULL gives `fallback`; any other value comes back unchanged.
inline std::string NullToDefault(const DbValue& value, std::string_view fallback) {
  return value ? *value : std::string(fallback);
}

}  // namespace edi
