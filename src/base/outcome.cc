#include "base/outcome.h"

#include <cstring>

namespace edi {

Outcome FirstFailure(Outcome first, const Outcome& second) {
  if (first.ok()) return second;
  if (!second.ok()) first.reason += "; then " + second.reason;
  return first;
}

std::string WithErrno(std::string_view what, int error) {
  return std::string(what) + ": " + std::strerror(error);
}

}  // namespace edi
