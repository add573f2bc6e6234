#include "base/outcome.h"

#include <cstring>

namespace edi {

Outcome FirstFailure(Outcome first, const Outcome& second) {
  const bool firstFailed = !first.ok();
  std::vector<std::string> warnings = std::move(first.warnings);
  warnings.insert(warnings.end(), second.warnings.begin(), second.warnings.end());
  Outcome result = firstFailed ? std::move(first) : second;
  if (firstFailed && !second.ok()) result.reason += "; then " + second.reason;
  result.warnings = std::move(warnings);
  return result;
}

std::string WithErrno(std::string_view what, int error) {
  return std::string(what) + ": " + std::strerror(error);
}

}  // namespace edi
