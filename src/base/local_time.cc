#include "base/local_time.h"

#include <cstdio>

namespace edi {

LocalTime LocalTimeOf(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char date[48];
  char time[48];
  std::snprintf(date, sizeof date, "%04d/%02d/%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
  return {date, time};
}

LocalTime CurrentLocalTime() { return LocalTimeOf(std::time(nullptr)); }

}  // namespace edi
