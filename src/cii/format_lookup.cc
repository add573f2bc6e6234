#include "cii/format_lookup.h"

#include <charconv>

#include "cii/syntax/cii_writer.h"

namespace edi::cii {

int FindLocalRowBySerial(const FormatRows& localRows, int serial) {
  for (size_t i = 0; i < localRows.size(); ++i) {
    if (localRows[i].serial == serial) return static_cast<int>(i);
  }
  return -1;
}

bool FindCiiRowByItemNo(const FormatRows& ciiRows, int& start, int itemNo, int level) {
  for (size_t i = static_cast<size_t>(std::max(start, 0)); i < ciiRows.size(); ++i) {
    const RecordFormatRow& row = ciiRows[i];
    if (row.level < level) return false;
    if (row.level == level && row.itemNo == itemNo) {
      start = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

bool MultiNoKey::Matches(std::string_view multiNo) const {
  int number = 0;
  switch (kind) {
    case kAny:
      return true;
    case kCharacter:
      return ChooseMarkerForm(multiNo, true, number) == MarkerForm::kCharacter && number == value;
    case kNumber: {
      long v = 0;
      auto [ptr, ec] = std::from_chars(multiNo.data(), multiNo.data() + multiNo.size(), v);
      return ec == std::errc() && ptr == multiNo.data() + multiNo.size() && v == value;
    }
  }
  return false;
}

bool FindCiiGroupRow(const FormatRows& ciiRows, int& start, int level, const MultiNoKey& key) {
  for (size_t i = static_cast<size_t>(std::max(start, 0)); i < ciiRows.size(); ++i) {
    const RecordFormatRow& row = ciiRows[i];
    if (row.level < level) return false;
    if (row.level == level && row.IsGroup() && key.Matches(row.multiNo)) {
      start = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

}  // namespace edi::cii
