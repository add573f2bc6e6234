// Moving a station's database: every table of the schema copied from one
// connection to another inside one transaction of the target.
#pragma once

#include <functional>
#include <string>

#include "db/database.h"

namespace edi {

// Creates the schema in `to` when missing and copies every row of every
// table of `from` into it, then checks that each table of `to` holds as many
// rows as `from`'s. All of it happens in one transaction of `to`: on any
// failure nothing is left there and `error` says what failed. Refused
// (nothing done) when `to` already holds history rows. `progress` is told
// each table's name and row count as it is copied.
bool CopyStationTables(Database& from, Database& to, std::string& error,
                       const std::function<void(const std::string&, long long)>& progress = {});

}  // namespace edi
