// Databases for the tests: a fresh SQLite file always, and the PostgreSQL
// cluster of the test fixture (reached through the ODBC data source named by
// EDI_TEST_ODBC_DSN) when it is there.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "db/database.h"

namespace edi::test {

// "sqlite" and, when the fixture's data source is configured, "postgres".
// With EDI_REQUIRE_POSTGRES=1 a missing data source fails the test run
// instead of leaving the PostgreSQL cases out.
std::vector<std::string> TestBackends();

// Opens a database of `backend` with the station's tables, all empty.
// For "sqlite" the file lives in a fresh temporary folder.
bool OpenEmptyTestDatabase(const std::string& backend, Database& db);

// A second connection to the database last opened for `backend`.
bool OpenSecondConnection(const std::string& backend, Database& db);

// A fresh temporary folder, removed at exit of the test program.
std::filesystem::path TempDir(const std::string& tag);

}  // namespace edi::test
