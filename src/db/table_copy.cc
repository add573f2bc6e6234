#include "db/table_copy.h"

#include "db/schema.h"

namespace edi {
namespace {

constexpr char kHistoryTable[] = "FL1102処理履歴ファイル";

bool CountRows(Database& db, const std::string& table, long long& count) {
  ResultSet rs;
  if (!db.Query("SELECT COUNT(*) AS n FROM " + SqlIdentifier(table), {}, rs) || rs.AtEnd()) return false;
  count = std::stoll(rs.Get("n").value_or("0"));
  return true;
}

// True when `to` has a history table with rows in it; a missing table is
// an empty target.
bool HoldsHistory(Database& to, std::string& error) {
  ResultSet rs;
  if (!to.Query(std::string("SELECT 1 AS one FROM ") + kHistoryTable + " LIMIT 1", {}, rs)) return false;
  if (rs.AtEnd()) return false;
  error = "the target database already holds history rows: it is another station's database, nothing copied";
  return true;
}

std::string InsertStatement(const TableLayout& table) {
  std::string columns, values;
  for (size_t i = 0; i < table.columns.size(); ++i) {
    columns += (i ? ", " : "") + SqlIdentifier(table.columns[i].first);
    values += (i ? ", :" : ":") + std::to_string(i + 1);
  }
  return "INSERT INTO " + SqlIdentifier(table.name) + " (" + columns + ") VALUES (" + values + ")";
}

std::string SelectStatement(const TableLayout& table) {
  std::string columns;
  for (size_t i = 0; i < table.columns.size(); ++i) columns += (i ? ", " : "") + SqlIdentifier(table.columns[i].first);
  return "SELECT " + columns + " FROM " + SqlIdentifier(table.name);
}

// A stored value as the target's column takes it: numbers bound as numbers
// (an SQLite text column may hold a number's text), NULL kept.
bool Bind(const ResultSet::Value& value, bool number, SqlParam& param) {
  if (!value) {
    param = std::monostate{};
    return true;
  }
  if (!number) {
    param = *value;
    return true;
  }
  try {
    size_t used = 0;
    param = std::stoll(*value, &used);
    return used == value->size();
  } catch (const std::exception&) {
    return false;
  }
}

std::string KeyQuery(const TableLayout& table) {
  std::string sql = "SELECT 1 AS one FROM " + SqlIdentifier(table.name) + " WHERE ";
  for (size_t i = 0; i < table.key.size(); ++i) {
    sql += (i ? " AND " : "") + SqlIdentifier(table.key[i]) + " = :" + std::to_string(i + 1);
  }
  return sql;
}

// True when `to` has a row with the primary key of `row` (a row a station
// set up on the target wrote, such as its categories).
bool KeyTaken(Database& to, const TableLayout& table, const SqlParams& row) {
  SqlParams key;
  for (const auto& column : table.key) {
    for (size_t i = 0; i < table.columns.size(); ++i) {
      if (table.columns[i].first == column) key.push_back(row[i]);
    }
  }
  ResultSet rs;
  return to.Query(KeyQuery(table), key, rs) && !rs.AtEnd();
}

bool CopyTable(Database& from, Database& to, const TableLayout& table, CopiedTable& copied, std::string& error) {
  ResultSet rows;
  if (!from.Query(SelectStatement(table), {}, rows)) {
    error = "cannot read " + table.name + ": " + from.LastError();
    return false;
  }
  long long before = 0;
  if (!CountRows(to, table.name, before)) {
    error = "cannot count the rows of " + table.name + " in the target: " + to.LastError();
    return false;
  }
  const std::string insert = InsertStatement(table);
  long long row = 0;
  for (; !rows.AtEnd(); rows.MoveNext(), ++row) {
    SqlParams params(table.columns.size());
    for (size_t i = 0; i < table.columns.size(); ++i) {
      const auto& [column, number] = table.columns[i];
      if (!Bind(rows.Get(column), number, params[i])) {
        error = table.name + " row " + std::to_string(row + 1) + ": " + column + " \"" +
                rows.Get(column).value_or("") + "\" is not a number";
        return false;
      }
    }
    if (before > 0 && KeyTaken(to, table, params)) {
      ++copied.kept;
      continue;
    }
    if (!to.ExecuteSql(insert, params)) {
      error = "cannot write row " + std::to_string(row + 1) + " of " + table.name + ": " + to.LastError();
      return false;
    }
    ++copied.rows;
  }
  long long counted = 0;
  if (!CountRows(to, table.name, counted) || counted != before + copied.rows) {
    error = table.name + ": " + std::to_string(copied.rows) + " rows copied to the " + std::to_string(before) +
            " there, but " + std::to_string(counted) + " found in the target";
    return false;
  }
  return true;
}

}  // namespace

bool CopyStationTables(Database& from, Database& to, std::string& error,
                       const std::function<void(const std::string&, const CopiedTable&)>& progress) {
  if (HoldsHistory(to, error)) return false;
  if (!to.BeginTransaction()) {
    error = "cannot begin a transaction in the target: " + to.LastError();
    return false;
  }
  bool ok = CreateSchema(to);
  if (!ok) error = "cannot create the tables in the target: " + to.LastError();
  for (const auto& table : SchemaLayouts()) {
    CopiedTable copied;
    if (!ok) break;
    ok = CopyTable(from, to, table, copied, error);
    if (ok && progress) progress(table.name, copied);
  }
  if (ok && !to.CommitTransaction()) {
    error = "cannot commit the copy: " + to.LastError();
    ok = false;
  }
  if (!ok) to.RollbackTransaction();
  return ok;
}

}  // namespace edi
