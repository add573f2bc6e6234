// Moving a station's database: every table of the schema copied from one
// connection to another inside one transaction of the target.
#pragma once

#include <functional>
#include <string>

#include "db/database.h"

namespace edi {

struct CopiedTable {
  long long rows = 0;  // rows written
  long long kept = 0;  // rows whose key the target held already (kept as they were)
};

// Creates the schema in `to` when missing and copies every row of every
// table of `from` into it, then checks that each table of `to` gained the
// rows written. A row whose primary key the target holds already (such as
// the categories a station set up there wrote) is kept as it is there. All of it happens in one transaction of `to`: on any
// failure nothing is left there and `error` says what failed. Refused
// (nothing done) when `to` already holds history rows. `progress` is told
// each table's name and row count as it is copied.
bool CopyStationTables(Database& from, Database& to, std::string& error,
                       const std::function<void(const std::string&, const CopiedTable&)>& progress = {});

}  // namespace edi
