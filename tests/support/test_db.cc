#include "support/test_db.h"

#include <cstdlib>
#include <iostream>
#include <unistd.h>

#include "db/open_database.h"
#include "db/schema.h"

namespace edi::test {
namespace {

std::string& LastSqliteFile() {
  static std::string file;
  return file;
}

std::string OdbcConnectionString() {
  const char* dsn = std::getenv("EDI_TEST_ODBC_DSN");
  return dsn ? "DSN=" + std::string(dsn) + ";" : "";
}

struct TempRoot {
  std::filesystem::path path;
  ~TempRoot() {
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove_all(path, ec);
  }
};

}  // namespace

std::filesystem::path TempDir(const std::string& tag) {
  static TempRoot root;
  static int counter = 0;
  if (root.path.empty()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "edi-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    root.path = pattern;
  }
  auto dir = root.path / (tag + "-" + std::to_string(++counter));
  std::filesystem::create_directories(dir);
  return dir;
}

std::vector<std::string> TestBackends() {
  std::vector<std::string> backends{"sqlite"};
  if (!OdbcConnectionString().empty()) {
    backends.push_back("postgres");
  } else if (const char* require = std::getenv("EDI_REQUIRE_POSTGRES");
             require != nullptr && std::string(require) == "1") {
    std::cerr << "EDI_REQUIRE_POSTGRES=1 but EDI_TEST_ODBC_DSN is not set\n";
    std::exit(1);
  }
  return backends;
}

bool OpenEmptyTestDatabase(const std::string& backend, Database& db) {
  if (backend == "sqlite") {
    LastSqliteFile() = (TempDir("db") / "edi.sqlite").string();
    return db.CreateSqlite(LastSqliteFile()) && CreateSchema(db);
  }
  if (!db.OpenOdbc(OdbcConnectionString())) {
    std::cerr << "cannot connect: " << db.LastError() << "\n";
    return false;
  }
  for (const std::string& table : SchemaTableNames()) {
    if (!db.ExecuteSql("DROP TABLE IF EXISTS " + table)) return false;
  }
  return CreateSchema(db);
}

bool OpenSecondConnection(const std::string& backend, Database& db) {
  if (backend == "sqlite") return db.OpenSqlite(LastSqliteFile());
  return db.OpenOdbc(OdbcConnectionString());
}

}  // namespace edi::test
