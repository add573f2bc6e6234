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

std::string DateBefore(const std::string& date, int days) {
  std::tm day{};
  if (std::sscanf(date.c_str(), "%4d/%2d/%2d", &day.tm_year, &day.tm_mon, &day.tm_mday) != 3) return date;
  day.tm_year -= 1900;
  day.tm_mon -= 1;
  day.tm_mday -= days;
  day.tm_hour = 12;  // midday: no daylight-saving change moves it to another day
  day.tm_isdst = -1;
  std::mktime(&day);
  char text[48];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d", day.tm_year + 1900, day.tm_mon + 1, day.tm_mday);
  return text;
}

}  // namespace edi
