// The one database connection of the station, over SOCI (SQLite opened
// directly, or any ODBC data source through unixODBC).
//
// Statements take their values as bound parameters (placeholders ":1", ":2",
// ... in the SQL text), never pasted into the text, so a quote in a centre
// code is data. No operation throws: each reports failure in its result and
// keeps the backend's message in LastError().
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "db/result_set.h"

namespace edi {

// A bound value: NULL, a text or a whole number.
using SqlParam = std::variant<std::monostate, std::string, long long>;
using SqlParams = std::vector<SqlParam>;

enum class SqlDialect { kSqlite, kPostgres, kOther };

class Database {
 public:
  Database();
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Opens an existing SQLite file for reading and writing, never creating
  // it. Any character of the path is part of the file name.
  bool OpenSqlite(const std::string& path);
  // Opens (creating when absent) a SQLite file; for setting up a station.
  bool CreateSqlite(const std::string& path);
  // Puts the open SQLite file into write-ahead-log mode, which the file
  // keeps: a commit then flushes one log to disk instead of a rollback
  // journal and the database (as durable, several times cheaper for a run's
  // many small commits). Needs a local file system, as every SQLite
  // station does.
  bool UseWriteAheadLog();
  // Connects to an ODBC data source with a complete connection string,
  // never prompting.
  bool OpenOdbc(const std::string& connectionString);

  bool IsOpen() const;
  SqlDialect dialect() const { return dialect_; }

  // Runs a query and reads its rows into `out` (in full, so a set holds no
  // cursor and locks nothing; a caller that changes the rows does so with
  // ExecuteSql). Sets the no-data flag: "9" when the set has no row, "0"
  // otherwise. False on a database error (the set is then empty, the flag
  // "9" and LastError() the driver's message).
  bool Query(std::string_view sql, const SqlParams& params, ResultSet& out);

  // Executes an INSERT, UPDATE, DELETE or DDL statement.
  bool ExecuteSql(std::string_view sql, const SqlParams& params = {});

  // Transaction control. Commit and Rollback outside a transaction do nothing
  // and succeed.
  bool BeginTransaction();
  bool CommitTransaction();
  bool RollbackTransaction();

  // "9" after a query that found no row, "0" after one that did.
  const std::string& NoDataFlag() const { return noData_; }
  const std::string& LastError() const { return lastError_; }

 private:
  struct Impl;
  bool Fail(const std::string& message);
  bool OpenSqliteUri(const std::string& uri);

  std::unique_ptr<Impl> impl_;
  SqlDialect dialect_ = SqlDialect::kOther;
  bool inTransaction_ = false;
  std::string noData_ = "9";
  std::string lastError_;
};

}  // namespace edi
