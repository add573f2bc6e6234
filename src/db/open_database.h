// Opening the station's database from the 動作環境 settings.
//
// DBSTRING "sqlite:PATH" opens that SQLite file (a relative PATH is taken
// relative to the settings folder); a value holding "=" is a complete ODBC
// connection string ("Driver=...;Server=...;Database=...;"), to which a
// non-empty USERID and PASSWD are added; any other value names an ODBC data
// source reached with "DSN=<name>;UID=<user>;PWD=<password>;".
#pragma once

#include <string>
#include <string_view>

#include "db/database.h"

namespace edi {

struct DatabaseLogin {
  std::string dataSource;  // as read from the settings, untrimmed
  std::string user;
  std::string password;
};

// The ODBC connection string for trimmed values. A value holding ";", "{" or
// "}" is enclosed in braces with every "}" doubled (ODBC's quoting rule), so
// it can never end its attribute early; other values are written as they are.
std::string BuildConnectionString(std::string_view dataSource, std::string_view user,
                                  std::string_view password);

// Trims the three values and opens `db`. `settingsFolder` resolves a relative
// SQLite path. On success `connectionString` holds what was used (for ODBC
// the connection string; for SQLite "sqlite:" + the resolved path).
bool OpenDatabase(const DatabaseLogin& login, std::string_view settingsFolder, Database& db,
                  std::string& connectionString);

// What a failed OpenDatabase tried and why it failed: the data source (or
// SQLite file) and the driver's reason, for the "接続エラー" message.
std::string DescribeConnectionFailure(const DatabaseLogin& login, const Database& db);

// Opens `db` from a DBSTRING-like value given on a command line, with empty
// user and password ("sqlite:PATH" relative to the current folder, or a
// complete ODBC connection string when it holds "=", else a DSN name).
bool OpenDatabaseFromArgument(std::string_view value, Database& db);

}  // namespace edi
