#include "report/overdue.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "base/local_time.h"
#include "base/text.h"
#include "db/null_value.h"

namespace edi::report {
namespace {

bool IsTimeOfDay(const std::string& text) {
  int hours = -1, minutes = -1;
  char end = 0;
  return std::sscanf(text.c_str(), "%2d:%2d%c", &hours, &minutes, &end) == 2 && text.size() == 5 && hours >= 0 &&
         hours < 24 && minutes >= 0 && minutes < 60;
}

int WeekdayOf(const std::string& date) {
  std::tm day{};
  if (std::sscanf(date.c_str(), "%4d/%2d/%2d", &day.tm_year, &day.tm_mon, &day.tm_mday) != 3) return 1;
  day.tm_year -= 1900;
  day.tm_mon -= 1;
  day.tm_hour = 12;
  day.tm_isdst = -1;
  std::mktime(&day);
  return day.tm_wday == 0 ? 7 : day.tm_wday;
}

bool DoneToday(Database& db, const std::string& centreCode, const std::string& today, bool& done, std::string& why) {
  ResultSet rs;
  if (!db.Query("SELECT 通番 FROM FL1102処理履歴ファイル WHERE 枝番 = 0 AND RTRIM(センターコード) = :1"
                " AND 処理開始日付 = :2 AND 終了コード = '0000'",
                {centreCode, today}, rs)) {
    why = "cannot read the history: " + db.LastError();
    return false;
  }
  done = !rs.AtEnd();
  return true;
}

}  // namespace

Moment CurrentMoment() {
  Moment now;
  const char* fixed = std::getenv("EDI_TEST_NOW");
  if (fixed != nullptr && std::string(fixed).size() >= 16) {
    now.date = std::string(fixed).substr(0, 10);
    now.time = std::string(fixed).substr(11, 8);
    if (now.time.size() == 5) now.time += ":00";
  } else {
    const LocalTime local = CurrentLocalTime();
    now.date = local.date;
    now.time = local.time;
  }
  now.weekday = WeekdayOf(now.date);
  return now;
}

std::vector<Expectation> ReadExpectations(const ProfileFile& settings, std::vector<std::string>& bad) {
  std::vector<Expectation> expectations;
  for (const auto& line : settings.Section("EXPECT", 65536)) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = TrimBlanks(line.substr(0, equals));
    const std::string value = TrimBlanks(line.substr(equals + 1));
    if (EqualsIgnoreAsciiCase(key, "WORKDAYS")) continue;
    if (IsTimeOfDay(value)) {
      expectations.push_back({key, value});
    } else {
      bad.push_back("[EXPECT] " + key + "=" + value + " is no time of day (hh:mm)");
    }
  }
  return expectations;
}

bool FindLateCentres(Database& db, const ProfileFile& settings, const Moment& now, std::vector<LateCentre>& late,
                     std::string& why) {
  late.clear();
  std::string workdays = TrimBlanks(settings.Value("EXPECT", "WORKDAYS"));
  if (workdays.empty()) workdays = "12345";
  if (workdays.find(static_cast<char>('0' + now.weekday)) == std::string::npos) return true;  // a day off
  std::vector<std::string> bad;
  for (const auto& expected : ReadExpectations(settings, bad)) {
    if (now.time.substr(0, 5) < expected.deadline) continue;  // not due yet
    bool done = false;
    if (!DoneToday(db, expected.centreCode, now.date, done, why)) return false;
    if (done) continue;
    LateCentre centre{expected.centreCode, "", expected.deadline, std::nullopt};
    ResultSet rs;
    if (db.Query("SELECT センター名 FROM FL1903EDI制御マスタ WHERE センターコード = :1", {expected.centreCode}, rs) &&
        !rs.AtEnd()) {
      centre.centreName = NullToTrimmed(rs.Get("センター名"), "");
    }
    if (db.Query("SELECT 通番, 処理開始日付, 処理開始時刻, 終了コード FROM FL1102処理履歴ファイル WHERE 枝番 = 0"
                 " AND RTRIM(センターコード) = :1 ORDER BY 通番 DESC LIMIT 1",
                 {expected.centreCode}, rs) &&
        !rs.AtEnd()) {
      const std::string end = NullToTrimmed(rs.Get("終了コード"), "");
      centre.last = TransferMark{LeadingNumber(rs.Get("通番").value_or("0")), NullToTrimmed(rs.Get("処理開始日付"), ""),
                                 NullToTrimmed(rs.Get("処理開始時刻"), ""),
                                 end.empty() ? "stopped" : end == "0000" ? "done" : "failed"};
    }
    late.push_back(std::move(centre));
  }
  return true;
}

std::string FormatLateCentres(const std::vector<LateCentre>& late) {
  std::string out;
  for (const auto& c : late) {
    out += c.centreCode + "\t" + c.centreName + "\tdue " + c.deadline + "\tno done transfer today";
    if (c.last) {
      out += "\tlast: 通番 " + std::to_string(c.last->transferNo) + " " + c.last->date + " " + c.last->time + " " +
             c.last->ending;
    }
    out += "\n";
  }
  return out;
}

std::string LateSubject(const std::string& station, size_t lateCentres) {
  return "EDI受信 未着: " + station + " " + std::to_string(lateCentres) + "センター";
}

std::string LateBody(const std::string& station, const Moment& now, const std::vector<LateCentre>& late) {
  std::string body = "EDI受信局 " + station + " で、" + now.date + " " + now.time.substr(0, 5) + " の時点で次の " +
                     std::to_string(late.size()) + " センターの受信が完了していません。\r\n";
  for (const auto& c : late) {
    body += "\r\n■ " + c.centreCode + (c.centreName.empty() ? "" : " " + c.centreName) + "\r\n";
    body += "  予定時刻: " + c.deadline + "\r\n";
    if (c.last) {
      body += "  最終処理: 通番 " + TransferDigits(c.last->transferNo) + " " + c.last->date + " " + c.last->time + " " +
              (c.last->ending == "done" ? "正常終了" : c.last->ending == "failed" ? "異常終了" : "中断") + "\r\n";
    } else {
      body += "  最終処理: なし\r\n";
    }
  }
  return body;
}

}  // namespace edi::report
