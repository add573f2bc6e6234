// Lookups over the format rows of the current group. Indices are 0-based;
// no lookup reads outside the rows (a search past the end is "not found").
#pragma once

#include <string_view>

#include "cii/format_tables.h"

namespace edi::cii {

// The first local row whose 項目通番 is `serial`, or -1.
int FindLocalRowBySerial(const FormatRows& localRows, int serial);

// Scans from `start` for a row of `level` with 項目№ `itemNo`: found sets
// `start` to it. A row of a lower level first, or the end, is not found;
// rows of a higher level are passed over.
bool FindCiiRowByItemNo(const FormatRows& ciiRows, int& start, int itemNo, int level);

// How a group's number is known to the reader.
struct MultiNoKey {
  enum Kind { kAny, kCharacter, kNumber } kind = kAny;
  int value = 0;  // kCharacter: the character code after 0xFA; kNumber: the number after 0xFD
  // True when `multiNo` (a row's マルチ明細番号) is the group this key names.
  bool Matches(std::string_view multiNo) const;
};

// Scans from `start` for a group row ("M") of `level` that `key` matches;
// rows of that level that do not match are passed over, a row of a lower
// level or the end is not found.
bool FindCiiGroupRow(const FormatRows& ciiRows, int& start, int level, const MultiNoKey& key);

}  // namespace edi::cii
