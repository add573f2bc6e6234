#include "db/database.h"

#include <sql.h>
#include <sqlext.h>
#include <soci/odbc/soci-odbc.h>
#include <soci/soci.h>
#include <soci/sqlite3/soci-sqlite3.h>

#include <cstdio>
#include <ctime>
#include <deque>
#include <filesystem>

namespace edi {

struct Database::Impl {
  soci::session session;
};

namespace {

// Storage for bound values: SOCI binds by reference, so the values must stay
// put until the statement has run (a deque never moves its elements).
struct BoundValues {
  std::deque<std::string> texts;
  std::deque<long long> numbers;
  std::deque<soci::indicator> indicators;
};

void BindParams(soci::details::prepare_temp_type& prepared, const SqlParams& params,
                BoundValues& bound) {
  for (const auto& p : params) {
    if (std::holds_alternative<std::monostate>(p)) {
      bound.texts.emplace_back();
      bound.indicators.push_back(soci::i_null);
      prepared, soci::use(bound.texts.back(), bound.indicators.back());
    } else if (const auto* text = std::get_if<std::string>(&p)) {
      bound.texts.push_back(*text);
      prepared, soci::use(bound.texts.back());
    } else {
      bound.numbers.push_back(std::get<long long>(p));
      prepared, soci::use(bound.numbers.back());
    }
  }
}

std::string FormatDouble(double v) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15g", v);
  return buffer;
}

ResultSet::Value ColumnText(const soci::row& row, std::size_t i) {
  if (row.get_indicator(i) == soci::i_null) return std::nullopt;
  switch (row.get_properties(i).get_data_type()) {
    case soci::dt_string:
      return row.get<std::string>(i);
    case soci::dt_double:
      return FormatDouble(row.get<double>(i));
    case soci::dt_integer:
      return std::to_string(row.get<int>(i));
    case soci::dt_long_long:
      return std::to_string(row.get<long long>(i));
    case soci::dt_unsigned_long_long:
      return std::to_string(row.get<unsigned long long>(i));
    case soci::dt_date: {
      std::tm t = row.get<std::tm>(i);
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d:%02d", t.tm_year + 1900,
                    t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
      return std::string(buffer);
    }
    default:
      return row.get<std::string>(i);
  }
}

}  // namespace

Database::Database() : impl_(std::make_unique<Impl>()) {}
Database::~Database() = default;

bool Database::Fail(const std::string& message) {
  lastError_ = message;
  return false;
}

// The SQLite file as a URI filename with every byte but the unreserved ones
// percent-encoded, so that no character of the path (a quote, a blank, "=")
// can end the value in SOCI's connection options.
std::string SqliteUri(const std::string& path, const char* mode) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = "file:";
  for (unsigned char c : path) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '/' || c == '.' || c == '_' || c == '-' || c == '~';
    if (plain) {
      uri.push_back(static_cast<char>(c));
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri + "?mode=" + mode;
}

bool Database::OpenSqlite(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return Fail("no database file " + path);
  return OpenSqliteUri(SqliteUri(path, "rw"));
}

bool Database::CreateSqlite(const std::string& path) { return OpenSqliteUri(SqliteUri(path, "rwc")); }

bool Database::OpenSqliteUri(const std::string& uri) {
  try {
    // The busy time-out stands in for the query time-out: a statement waits
    // up to 300 s for another station's lock.
    impl_->session.close();
    inTransaction_ = false;
    impl_->session.open(soci::sqlite3, "db=" + uri + " timeout=300");
    dialect_ = SqlDialect::kSqlite;
    return true;
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}

bool Database::UseWriteAheadLog() {
  if (dialect_ != SqlDialect::kSqlite || !IsOpen()) return Fail("not an SQLite database");
  auto* backend = static_cast<soci::sqlite3_session_backend*>(impl_->session.get_backend());
  char* message = nullptr;
  if (sqlite_api::sqlite3_exec(backend->conn_, "PRAGMA journal_mode=WAL", nullptr, nullptr, &message) == SQLITE_OK) {
    return true;
  }
  const std::string why = message != nullptr ? message : "journal_mode=WAL refused";
  sqlite_api::sqlite3_free(message);
  return Fail(why);
}

bool Database::OpenOdbc(const std::string& connectionString) {
  try {
    soci::connection_parameters parameters(soci::odbc, connectionString);
    parameters.set_option(soci::odbc_option_driver_complete, "0");  // SQL_DRIVER_NOPROMPT
    impl_->session.close();
    inTransaction_ = false;
    impl_->session.open(parameters);
    auto* backend = static_cast<soci::odbc_session_backend*>(impl_->session.get_backend());
    // Statements inherit the connection's query time-out of 300 seconds.
    SQLSetConnectAttr(backend->hdbc_, SQL_ATTR_QUERY_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(300)), 0);
    dialect_ = backend->get_database_product() == soci::odbc_session_backend::prod_postgresql
                   ? SqlDialect::kPostgres
                   : SqlDialect::kOther;
    return true;
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}

bool Database::IsOpen() const { return impl_->session.get_backend() != nullptr; }

bool Database::Query(std::string_view sql, const SqlParams& params, ResultSet& out) {
  out.Close();
  noData_ = "9";
  if (!IsOpen()) return Fail("database not open");
  try {
    BoundValues bound;
    soci::row row;
    soci::details::prepare_temp_type prepared = (impl_->session.prepare << std::string(sql));
    BindParams(prepared, params, bound);
    prepared, soci::into(row);
    soci::statement statement(prepared);
    std::vector<std::string> columns;
    std::vector<std::vector<ResultSet::Value>> rows;
    bool got = statement.execute(true);
    while (got) {
      if (columns.empty()) {
        for (std::size_t i = 0; i < row.size(); ++i) columns.push_back(row.get_properties(i).get_name());
      }
      std::vector<ResultSet::Value> values;
      values.reserve(row.size());
      for (std::size_t i = 0; i < row.size(); ++i) values.push_back(ColumnText(row, i));
      rows.push_back(std::move(values));
      got = statement.fetch();
    }
    noData_ = rows.empty() ? "9" : "0";
    out = ResultSet(std::move(columns), std::move(rows));
    return true;
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}

bool Database::ExecuteSql(std::string_view sql, const SqlParams& params) {
  if (!IsOpen()) return Fail("database not open");
  try {
    BoundValues bound;
    soci::details::prepare_temp_type prepared = (impl_->session.prepare << std::string(sql));
    BindParams(prepared, params, bound);
    soci::statement statement(prepared);
    statement.execute(true);
    return true;
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}

bool Database::BeginTransaction() {
  if (!IsOpen()) return Fail("database not open");
  if (inTransaction_) return true;
  try {
    impl_->session.begin();
    inTransaction_ = true;
    return true;
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}

bool Database::CommitTransaction() {
  if (!inTransaction_) return true;
  inTransaction_ = false;
  try {
    impl_->session.commit();
    return true;
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}

bool Database::RollbackTransaction() {
  if (!inTransaction_) return true;
  inTransaction_ = false;
  try {
    impl_->session.rollback();
    return true;
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}

}  // namespace edi
