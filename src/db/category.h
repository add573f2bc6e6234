// The category master 区分マスタ: names of coded values.
#pragma once

#include <string>
#include <string_view>

#include "db/database.h"

namespace edi {

// The 区分名称 of the row (kind, code), or "" when there is none or the
// lookup fails.
std::string LookupCategoryName(Database& db, std::string_view kind, std::string_view code);

}  // namespace edi
