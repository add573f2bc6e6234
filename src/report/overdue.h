// Centres late with their deliveries: [EXPECT] holds, per centre code, the
// time by which the centre delivers on working days (DEMOZ01=08:30), and
// [EXPECT] WORKDAYS the working days as digits, Monday 1 to Sunday 7
// (default 12345). A centre is late when, on a working day after its time,
// it has no done transfer today.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "db/database.h"
#include "report/station_status.h"
#include "startup/profile_file.h"

namespace edi::report {

// The moment the check is made: EDI_TEST_NOW ("yyyy/mm/dd hh:nn:ss", for
// the tests alone) or the local time.
struct Moment {
  std::string date;  // "yyyy/mm/dd"
  std::string time;  // "hh:nn:ss"
  int weekday = 1;   // Monday 1 .. Sunday 7
};
Moment CurrentMoment();

struct Expectation {
  std::string centreCode;
  std::string deadline;  // "hh:nn"
};

// The expectations of [EXPECT], in the file's order; a value that is no
// time of day is left out and named in `bad`.
std::vector<Expectation> ReadExpectations(const ProfileFile& settings, std::vector<std::string>& bad);

struct LateCentre {
  std::string centreCode, centreName, deadline;
  std::optional<TransferMark> last;  // the centre's last transfer, when it has one
};

// The centres late at `now`. False with `why` when the history cannot be read.
bool FindLateCentres(Database& db, const ProfileFile& settings, const Moment& now, std::vector<LateCentre>& late,
                     std::string& why);

std::string FormatLateCentres(const std::vector<LateCentre>& late);

// The alert mail of late centres.
std::string LateSubject(const std::string& station, size_t lateCentres);
std::string LateBody(const std::string& station, const Moment& now, const std::vector<LateCentre>& late);

}  // namespace edi::report
