// The EDI control master FL1903EDI制御マスタ (one row per trading centre)
// and the centre user-company master FL1915センタ利用企業マスタ.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/database.h"

namespace edi {

// Row states of a listed centre.
inline constexpr int16_t kRowNormal = 0;
inline constexpr int16_t kRowInProgress = 1;
inline constexpr int16_t kRowDone = 2;
inline constexpr int16_t kRowError = 9;

// One listed centre.
struct CentreRow {
  int16_t selected = 0;  // selection mark: -1 marked, 0 not
  std::string centreCode;      // センターコード
  std::string centreName;      // センター名
  std::string transferMethod;  // 送受信方式
  std::string receiveStatus;
  std::string conversionStatus;
  std::string registrationStatus;
  int16_t state = kRowNormal;
};

// The 相手先企業コード values of one centre, in database order.
struct CentreCompanies {
  std::vector<std::string> codes;
  int16_t count() const { return static_cast<int16_t>(codes.size()); }
};

// Opens the centres of partner kind "1" ordered by code into `out`.
// "0000" when rows were found; "9999" when none or on a database error.
std::string QueryCentreList(Database& db, ResultSet& out);

// Fills `rows` from the set of QueryCentreList (marks, statuses and states
// cleared). "0000"; "9999" when a row lacks its code.
std::string LoadCentreRows(ResultSet& centres, std::vector<CentreRow>& rows);

// Opens the centre's control-master row into `out`. "7002" when there is
// none (or the lookup fails); "6101" for a "Z" centre whose
// NTS受信ファイルパス is NULL, empty or blank; "0000" otherwise.
std::string LookupCentre(Database& db, std::string_view centreCode, ResultSet& out);

// Refills `companies` with the centre's user companies. result "0000" and
// detail "0000"; or "7300" and "0001" when there is none or on an error.
void LoadCentreCompanies(Database& db, std::string_view centreCode, CentreCompanies& companies,
                         std::string& result, std::string& detail);

}  // namespace edi
