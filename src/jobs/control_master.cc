#include "jobs/control_master.h"

#include "base/text.h"
#include "db/null_value.h"

namespace edi {
namespace {

constexpr char kCentreList[] =
    "SELECT FL1903EDI制御マスタ.センターコード ,FL1903EDI制御マスタ.センター名 "
    " ,FL1903EDI制御マスタ.送受信方式  FROM FL1903EDI制御マスタ WHERE "
    " FL1903EDI制御マスタ.相手先種別 = :1 ORDER BY FL1903EDI制御マスタ.センターコード ";

std::string Text(const ResultSet& rs, const char* column) { return NullToDefault(rs.Get(column), ""); }

}  // namespace

std::string& CentreRow::Status(Stage stage) {
  return stage == Stage::kReceive ? receiveStatus : stage == Stage::kConversion ? conversionStatus
                                                                                : registrationStatus;
}

const std::string& CentreRow::Status(Stage stage) const {
  return stage == Stage::kReceive ? receiveStatus : stage == Stage::kConversion ? conversionStatus
                                                                                : registrationStatus;
}

std::string CentreMaster::ReceivePath() const { return NullToTrimmed(receivePath, ""); }

Outcome LoadCentreList(Database& db, std::vector<CentreRow>& rows) {
  rows.clear();
  ResultSet list;
  if (!db.Query(kCentreList, {std::string("1")}, list)) {
    return Outcome::Failure(kResultFailed, kResultOk, "cannot read the centre list: " + db.LastError());
  }
  for (; !list.AtEnd(); list.MoveNext()) {
    CentreRow row;
    row.centreCode = Text(list, "センターコード");
    row.centreName = Text(list, "センター名");
    row.transferMethod = Text(list, "送受信方式");
    rows.push_back(std::move(row));
  }
  if (rows.empty()) return Outcome::Failure(kResultFailed, kResultOk, "no centre of partner kind 1");
  return Outcome::Success();
}

Outcome LookupCentre(Database& db, std::string_view centreCode, CentreMaster& centre) {
  ResultSet rs;
  if (!db.Query("SELECT *  FROM FL1903EDI制御マスタ WHERE センターコード = :1 ORDER BY センターコード ",
                {std::string(centreCode)}, rs)) {
    return Outcome::Failure(kResultNoCentre, kResultOk,
                            "cannot read the control master of " + std::string(centreCode) + ": " + db.LastError());
  }
  if (rs.AtEnd()) {
    return Outcome::Failure(kResultNoCentre, kResultOk,
                            "centre " + std::string(centreCode) + " is not in FL1903EDI制御マスタ");
  }
  centre.centreCode = Text(rs, "センターコード");
  centre.centreName = Text(rs, "センター名");
  centre.transferMethod = Text(rs, "送受信方式");
  centre.dataFormat = Text(rs, "送受信データ形式");
  centre.partnerKind = Text(rs, "相手先種別");
  centre.ntsPartnerNo = LeadingNumber(Text(rs, "NTS受信相手先番号"));
  centre.ntsFileNo = LeadingNumber(Text(rs, "NTS受信ファイル番号"));
  centre.receivePath = rs.Get("NTS受信ファイルパス");
  centre.mailAddress = Text(rs, "相手先メールアドレス");
  // A NULL receive path is rejected like a blank one: the package would take
  // the partner's data into a file that nobody copies.
  if (centre.transferMethod == "Z" && centre.ReceivePath().empty()) {
    return Outcome::Failure(kResultNoReceivePath, kResultOk,
                            "TCP centre " + std::string(centreCode) + " has no NTS受信ファイルパス");
  }
  return Outcome::Success();
}

Outcome LoadCentreCompanies(Database& db, std::string_view centreCode, CentreCompanies& companies) {
  companies.codes.clear();
  ResultSet rs;
  if (!db.Query("SELECT * FROM FL1915センタ利用企業マスタ WHERE センターコード = :1", {std::string(centreCode)}, rs)) {
    return Outcome::Failure(kResultNoCompanies, kDetailNoCompany,
                            "cannot read the user companies of " + std::string(centreCode) + ": " + db.LastError());
  }
  for (; !rs.AtEnd(); rs.MoveNext()) companies.codes.push_back(Text(rs, "相手先企業コード"));
  if (companies.codes.empty()) {
    return Outcome::Failure(kResultNoCompanies, kDetailNoCompany,
                            "centre " + std::string(centreCode) + " has no user company in FL1915センタ利用企業マスタ");
  }
  return Outcome::Success();
}

}  // namespace edi
