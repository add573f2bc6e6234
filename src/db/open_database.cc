#include "db/open_database.h"

#include <filesystem>

#include "base/text.h"

namespace edi {
namespace {

constexpr std::string_view kSqlitePrefix = "sqlite:";

std::string QuoteAttribute(std::string_view value) {
  if (value.find_first_of(";{}") == std::string_view::npos) return std::string(value);
  std::string quoted = "{";
  for (char c : value) {
    quoted.push_back(c);
    if (c == '}') quoted.push_back('}');
  }
  quoted.push_back('}');
  return quoted;
}

bool IsSqlite(std::string_view value) { return value.substr(0, kSqlitePrefix.size()) == kSqlitePrefix; }

}  // namespace

std::string BuildConnectionString(std::string_view dataSource, std::string_view user,
                                  std::string_view password) {
  return "DSN=" + QuoteAttribute(dataSource) + ";UID=" + QuoteAttribute(user) +
         ";PWD=" + QuoteAttribute(password) + ";";
}

bool OpenDatabase(const DatabaseLogin& login, std::string_view settingsFolder, Database& db,
                  std::string& connectionString) {
  const std::string dataSource = TrimBlanks(login.dataSource);
  if (IsSqlite(dataSource)) {
    std::filesystem::path path(dataSource.substr(kSqlitePrefix.size()));
    if (path.empty()) return false;
    if (path.is_relative()) path = std::filesystem::path(std::string(settingsFolder)) / path;
    connectionString = std::string(kSqlitePrefix) + path.string();
    return db.OpenSqlite(path.string());
  }
  if (dataSource.empty()) return false;
  const std::string user = TrimBlanks(login.user), password = TrimBlanks(login.password);
  if (dataSource.find('=') != std::string::npos) {
    connectionString = dataSource;
    if (!connectionString.empty() && connectionString.back() != ';') connectionString += ';';
    if (!user.empty()) connectionString += "UID=" + QuoteAttribute(user) + ";";
    if (!password.empty()) connectionString += "PWD=" + QuoteAttribute(password) + ";";
  } else {
    connectionString = BuildConnectionString(dataSource, user, password);
  }
  return db.OpenOdbc(connectionString);
}

std::string DescribeConnectionFailure(const DatabaseLogin& login, const Database& db) {
  const std::string dataSource = TrimBlanks(login.dataSource);
  if (dataSource.empty()) return "[動作環境] DBSTRING is empty";
  const std::string reason = db.LastError().empty() ? "cannot be opened" : db.LastError();
  return "data source " + dataSource + ": " + reason;
}

bool OpenDatabaseFromArgument(std::string_view value, Database& db) {
  const std::string v = TrimBlanks(value);
  if (IsSqlite(v)) return db.OpenSqlite(v.substr(kSqlitePrefix.size()));
  if (v.find('=') != std::string::npos) return db.OpenOdbc(v);
  return db.OpenOdbc(BuildConnectionString(v, "", ""));
}

}  // namespace edi
