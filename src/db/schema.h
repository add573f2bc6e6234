// The station's tables (the seven it shares with the business application
// and three of its own), as DDL for SQLite and for PostgreSQL.
//
// Identifiers are the Japanese names the statements use. Names that begin
// with a digit are quoted; all others are left unquoted so that unquoted
// statement text matches them on PostgreSQL (which folds BPID to bpid).
// Dates and times are texts "yyyy/mm/dd" and "hh:nn:ss".
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "db/database.h"

namespace edi {

// The CREATE TABLE statements, one per table, for `dialect`.
std::vector<std::string> SchemaStatements(SqlDialect dialect);

// The names of the tables, in the order they are created.
std::vector<std::string> SchemaTableNames();

// A table's columns in their order, each with whether it holds a number.
struct TableLayout {
  std::string name;
  std::vector<std::pair<std::string, bool>> columns;  // name, is a number
  std::vector<std::string> key;                        // the primary key's columns
};
std::vector<TableLayout> SchemaLayouts();

// The name as a statement writes it (quoted when it begins with a digit).
std::string SqlIdentifier(const std::string& name);

// Creates every table that does not exist yet. False on the first failure.
bool CreateSchema(Database& db);

// Creates the tables that a station's database lacks (a station set up
// before the station's own tables existed), touching none that is there.
// False with the driver's message in db.LastError() when one cannot be
// created.
bool AddMissingTables(Database& db);

}  // namespace edi
