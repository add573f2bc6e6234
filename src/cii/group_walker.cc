#include "cii/group_walker.h"

#include "cii/syntax/cii_layout.h"
#include "cii/format_lookup.h"

namespace edi::cii {

void GroupWalker::StartMessage() {
  levels_.assign(1, Level{});
  skipNest_ = 0;
}

int GroupWalker::ElementRow(uint32_t itemNo) {
  Level& level = levels_.back();
  int row = level.cursor;
  if (!FindCiiRowByItemNo(rows_, row, static_cast<int>(itemNo), depth())) return -1;
  level.cursor = row;
  return row;
}

GroupWalker::Marker GroupWalker::EnterGroup(const GroupMarker& marker) {
  if (skipNest_ > 0) {
    ++skipNest_;
    return Marker::kIgnored;
  }
  Level& level = levels_.back();
  int row = level.cursor;
  MultiNoKey key;
  if (marker.hasNumber) {
    key.kind = marker.marker == kGroupStart ? MultiNoKey::kCharacter : MultiNoKey::kNumber;
    key.value = marker.number;
    row = level.groupRow + 1;  // numbered groups may come in any order within the level
  }
  if (!FindCiiGroupRow(rows_, row, depth(), key)) {
    skipNest_ = 1;
    return Marker::kNoGroupRow;
  }
  if (!marker.hasNumber) level.cursor = row;
  levels_.push_back(Level{row, row + 1, 1});
  return Marker::kApplied;
}

GroupWalker::Marker GroupWalker::NextRepetition() {
  if (skipNest_ > 0) return Marker::kIgnored;
  if (levels_.size() == 1) return Marker::kOutOfPlace;
  Level& level = levels_.back();
  ++level.occurrence;
  level.cursor = level.groupRow + 1;
  return Marker::kApplied;
}

GroupWalker::Marker GroupWalker::LeaveGroup() {
  if (skipNest_ > 0) {
    --skipNest_;
    return Marker::kIgnored;
  }
  if (levels_.size() == 1) return Marker::kOutOfPlace;
  const int closed = levels_.back().groupRow;
  levels_.pop_back();
  levels_.back().cursor = closed + 1;
  return Marker::kApplied;
}

}  // namespace edi::cii
