#include "db/category.h"

namespace edi {

std::string LookupCategoryName(Database& db, std::string_view kind, std::string_view code) {
  ResultSet rs;
  if (!db.Query("SELECT 区分名称 FROM 区分マスタ WHERE 区分= :1 AND 区分ｺｰﾄﾞ= :2",
                                {std::string(kind), std::string(code)}, rs)) {
    return "";
  }
  std::string name = rs.AtEnd() ? "" : rs.Get("区分名称").value_or("");
  rs.Close();
  return name;
}

}  // namespace edi
