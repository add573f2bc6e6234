#include "db/result_set.h"

#include "base/text.h"

namespace edi {

ResultSet::ResultSet(std::vector<std::string> columns, std::vector<std::vector<Value>> rows)
    : columns_(std::move(columns)), rows_(std::move(rows)) {}

int ResultSet::ColumnIndex(std::string_view column) const {
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (EqualsIgnoreAsciiCase(columns_[i], column)) return static_cast<int>(i);
  }
  return -1;
}

ResultSet::Value ResultSet::Get(std::string_view column) const {
  if (AtEnd()) return std::nullopt;
  int index = ColumnIndex(column);
  if (index < 0) return std::nullopt;
  return rows_[position_][static_cast<size_t>(index)];
}

void ResultSet::Close() {
  rows_.clear();
  columns_.clear();
  position_ = 0;
}

}  // namespace edi
