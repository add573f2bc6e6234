#include "jobs/control_master.h"

#include "startup/common_routines.h"

namespace edi {

std::string QueryCentreList(Database& db, ResultSet& out) {
  if (!db.OpenReadOnlyResultset(
          "SELECT FL1903EDI制御マスタ.センターコード ,FL1903EDI制御マスタ.センター名 "
          " ,FL1903EDI制御マスタ.送受信方式  FROM FL1903EDI制御マスタ WHERE "
          " FL1903EDI制御マスタ.相手先種別 = :1 ORDER BY FL1903EDI制御マスタ.センターコード ",
          {std::string("1")}, out)) {
    return "9999";
  }
  if (out.AtEnd()) {
    out.Close();
    return "9999";
  }
  return "0000";
}

std::string LoadCentreRows(ResultSet& centres, std::vector<CentreRow>& rows) {
  rows.clear();
  for (; !centres.AtEnd(); centres.MoveNext()) {
    auto code = centres.Get("センターコード");
    if (!code) return "9999";
    CentreRow row;
    row.centreCode = *code;
    row.centreName = NullToDefault(centres.Get("センター名"), "");
    row.transferMethod = NullToDefault(centres.Get("送受信方式"), "");
    rows.push_back(std::move(row));
  }
  return "0000";
}

std::string LookupCentre(Database& db, std::string_view centreCode, ResultSet& out) {
  if (!db.OpenReadOnlyResultset(
          "SELECT *  FROM FL1903EDI制御マスタ WHERE センターコード = :1 ORDER BY センターコード ",
          {std::string(centreCode)}, out) ||
      out.AtEnd()) {
    return "7002";
  }
  // A NULL receive path is rejected like a blank one: the package would take
  // the partner's data into a file that nobody copies.
  if (out.Get("送受信方式").value_or("") == "Z" &&
      NullToTrimmed(out.Get("NTS受信ファイルパス"), "").empty()) {
    return "6101";
  }
  return "0000";
}

void LoadCentreCompanies(Database& db, std::string_view centreCode, CentreCompanies& companies,
                         std::string& result, std::string& detail) {
  companies.codes.clear();
  result = "7300";
  detail = "0001";
  ResultSet rs;
  if (!db.OpenReadOnlyResultset("SELECT * FROM FL1915センタ利用企業マスタ WHERE センターコード = :1",
                                {std::string(centreCode)}, rs) ||
      rs.AtEnd()) {
    return;
  }
  for (; !rs.AtEnd(); rs.MoveNext()) {
    companies.codes.push_back(NullToDefault(rs.Get("相手先企業コード"), ""));
  }
  result = "0000";
  detail = "0000";
}

}  // namespace edi
