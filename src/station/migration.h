// Moving a station from its embedded SQLite file into a shared database
// (PostgreSQL through ODBC): the tables copied in one transaction, then the
// station's EDI.ini pointed at the new database.
#pragma once

#include <string>
#include <vector>

#include "db/database.h"
#include "startup/program_state.h"

namespace edi {

struct MigrationReport {
  std::vector<std::string> lines;  // what was done, a line per table and one for EDI.ini
};

// Copies every table of the station's SQLite database `from` into the
// database `target` (a DBSTRING value, opened with the station's USERID and
// PASSWD), checks the row counts, and then changes DBSTRING in EDI.ini to
// `target`, keeping the former line as a comment. Refused with nothing
// changed when the station is not on SQLite, when its EDI.ini has no
// DBSTRING line, or when the target already holds history rows.
bool MigrateStation(const ProgramState& state, Database& from, const std::string& target, MigrationReport& report,
                    std::string& error);

}  // namespace edi
