// The local date and time in the station's texts: "yyyy/mm/dd" and
// "hh:nn:ss" (24-hour clock), as the history, the logs and the mail subjects
// write them.
#pragma once

#include <ctime>
#include <functional>
#include <string>

namespace edi {

struct LocalTime {
  std::string date;  // "yyyy/mm/dd"
  std::string time;  // "hh:nn:ss"
  // "yyyy/mm/dd hh:nn:ss"
  std::string DateTime() const { return date + " " + time; }
};

// The local date and time of `when`.
LocalTime LocalTimeOf(std::time_t when);

// The local date and time now.
LocalTime CurrentLocalTime();

// The date `days` days before `date` ("yyyy/mm/dd"), in the same form.
std::string DateBefore(const std::string& date, int days);

// A clock the tests can stop.
using Clock = std::function<LocalTime()>;

}  // namespace edi
