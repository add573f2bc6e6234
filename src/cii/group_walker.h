// Follows the group structure of one CII message against the 'E' format
// rows, for the readers of message bodies: which row an element belongs to,
// which group row a 0xFA/0xFD marker opens, and which occurrence of each
// group is current. Groups without a row are skipped whole, up to their
// matching 0xFC.
#pragma once

#include <cstdint>
#include <vector>

#include "cii/syntax/cii_reader.h"
#include "cii/format_tables.h"

namespace edi::cii {

class GroupWalker {
 public:
  struct Level {
    int groupRow = -1;   // the group's row (-1 for the message level)
    int cursor = 0;      // where this level's rows are searched from
    int occurrence = 1;  // the current repetition, from 1
  };

  enum class Marker {
    kApplied,     // the marker moved the walk
    kIgnored,     // inside a skipped group: nothing to do
    kNoGroupRow,  // 0xFA/0xFD with no group row: the group is skipped
    kOutOfPlace,  // 0xFB or 0xFC at the message level
  };

  explicit GroupWalker(const FormatRows& rows) : rows_(rows) {}

  // Starts a message at its top level.
  void StartMessage();

  // True while the content of a skipped group is being read.
  bool Skipping() const { return skipNest_ > 0; }

  // The row of an element with tag `itemNo` at the current level, searched
  // in table order from the level's cursor; -1 when there is none.
  int ElementRow(uint32_t itemNo);

  // 0xFA / 0xFD: in one-byte tag mode the next group row of the level; in
  // two-byte mode the level's group row with that multi-detail number.
  Marker EnterGroup(const GroupMarker& marker);
  // 0xFB: the next occurrence of the current group.
  Marker NextRepetition();
  // 0xFC: back to the enclosing level; its next group is searched after the
  // group just closed, so that sibling groups find their own rows.
  Marker LeaveGroup();

  const std::vector<Level>& levels() const { return levels_; }
  int depth() const { return static_cast<int>(levels_.size()) - 1; }

 private:
  const FormatRows& rows_;
  std::vector<Level> levels_;
  int skipNest_ = 0;
};

}  // namespace edi::cii
