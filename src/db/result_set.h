// A result set: the rows of one query, read by column name.
//
// Rows are read in full when the query runs, so a set never holds a cursor
// or a lock on the database and no database error can surface while it is
// read. Column names match ignoring the case of ASCII letters (PostgreSQL
// folds unquoted names such as BPID to lower case).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace edi {

class ResultSet {
 public:
  using Value = std::optional<std::string>;  // nullopt is NULL

  ResultSet() = default;
  ResultSet(std::vector<std::string> columns, std::vector<std::vector<Value>> rows);

  // True when there is no current row (an empty set is at its end at once).
  bool AtEnd() const { return position_ >= rows_.size(); }
  void MoveNext() { if (!AtEnd()) ++position_; }
  size_t RowCount() const { return rows_.size(); }

  // The current row's value of `column` as text (numbers in plain decimal).
  // NULL, an unknown column and a set at its end all give nullopt.
  Value Get(std::string_view column) const;

  // True when the set has a column of that name.
  bool HasColumn(std::string_view column) const { return ColumnIndex(column) >= 0; }

  // Releases the rows.
  void Close();

 private:
  int ColumnIndex(std::string_view column) const;

  std::vector<std::string> columns_;
  std::vector<std::vector<Value>> rows_;
  size_t position_ = 0;
};

}  // namespace edi
