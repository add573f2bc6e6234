#include "db/result_set.h"

namespace edi {
namespace {

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

}  // namespace

ResultSet::ResultSet(std::vector<std::string> columns, std::vector<std::vector<Value>> rows)
    : columns_(std::move(columns)), rows_(std::move(rows)) {}

int ResultSet::ColumnIndex(std::string_view column) const {
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (SameName(columns_[i], column)) return static_cast<int>(i);
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
