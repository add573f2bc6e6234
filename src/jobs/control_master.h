// The EDI control master FL1903EDI制御マスタ (one row per trading centre)
// and the centre user-company master FL1915センタ利用企業マスタ.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/outcome.h"
#include "db/database.h"

namespace edi {

// Row states of a listed centre.
inline constexpr int16_t kRowNormal = 0;
inline constexpr int16_t kRowInProgress = 1;
inline constexpr int16_t kRowDone = 2;
inline constexpr int16_t kRowError = 9;

// The stages of a centre's run whose status a row shows.
enum class Stage { kReceive, kConversion, kRegistration };

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

  // The status text of a stage.
  std::string& Status(Stage stage);
  const std::string& Status(Stage stage) const;
};

// The centre's control-master row: the columns the station reads.
struct CentreMaster {
  std::string centreCode;                  // センターコード
  std::string centreName;                  // センター名
  std::string transferMethod;              // 送受信方式: "Z", "M", "W"
  std::string dataFormat;                  // 送受信データ形式: "X", "C"
  std::string partnerKind;                 // 相手先種別
  long long ntsPartnerNo = 0;              // NTS受信相手先番号
  long long ntsFileNo = 0;                 // NTS受信ファイル番号
  std::optional<std::string> receivePath;  // NTS受信ファイルパス (nullopt for NULL)
  std::string mailAddress;                 // 相手先メールアドレス

  // NTS受信ファイルパス trimmed, "" when NULL.
  std::string ReceivePath() const;
};

// The 相手先企業コード values of one centre, in database order.
struct CentreCompanies {
  std::vector<std::string> codes;
};

// Reads the centres of partner kind "1", ordered by code, into `rows` (marks,
// statuses and states cleared). Fails ("9999") when there is none or the
// list cannot be read; the reason then says which.
Outcome LoadCentreList(Database& db, std::vector<CentreRow>& rows);

// Reads the centre's control-master row into `centre`. "7002" when there is
// none (or it cannot be read: the reason has the driver's message); "6101"
// for a "Z" centre whose NTS受信ファイルパス is NULL, empty or blank.
Outcome LookupCentre(Database& db, std::string_view centreCode, CentreMaster& centre);

// Reads the centre's user companies. "7300"/"0001" when there is none or on
// an error.
Outcome LoadCentreCompanies(Database& db, std::string_view centreCode, CentreCompanies& companies);

}  // namespace edi
