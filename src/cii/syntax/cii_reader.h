// Walks a CII file in the block layout and reports what it finds to a
// visitor: group headers and trailers, messages, their elements and group
// markers. Damage is reported to the visitor with its code (damage::... of
// the layout header) and the walk goes on where it can:
//   8  a block that is neither "0" + letter nor "1".."9" + "D" (message
//      "-01" for a digit without "D", "-02" otherwise)
//   9  an unknown length prefix; the element is taken as length 0
//   11 a 0xFD in one-byte tag mode; 13 an unknown special byte
//   32 a trailer count that is neither the number of messages of its group
//      nor that of the file so far
// and these stop the walk:
//   35 the first block is not a group header: not a CII file
//   7  the end of the file inside a header, trailer, message, its filler, or
//      inside a group (a group header without its trailer)
//   16 a storage mode other than "M", space or "S", since the blocks of the
//      group cannot be followed
//   30 an end mark while a group (0xFA/0xFD) is still open
//   36 the 100th damage report of the file
// Messages of a group whose header bytes 103-104 are "20" are skipped whole.
// After a message's end mark the rest of its block is filler in storage
// modes "M" and space and is skipped; in "S" blocks are not filled.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "cii/syntax/cii_input.h"

namespace edi::cii {

struct MessageInfo {
  int number = 0;           // from the five digits
  bool longForm = false;    // 0x80 0x80 0xF7 + seven digits
  long declaredLength = 0;  // bytes from "D" through the end mark, as declared
  uint64_t offset = 0;      // file offset of the block holding "D"
};

struct GroupMarker {
  uint8_t marker = 0;      // 0xFA or 0xFD
  bool hasNumber = false;  // two-byte tag mode: a number follows the marker
  int number = 0;          // after 0xFA: the character code; after 0xFD: the number
  uint64_t offset = 0;
};

// Every callback returns false to stop the walk.
class CiiVisitor {
 public:
  virtual ~CiiVisitor() = default;
  virtual bool OnGroupHeader(std::span<const uint8_t> header, uint64_t offset) = 0;
  virtual bool OnGroupTrailer(std::span<const uint8_t> trailer, uint64_t offset) = 0;
  virtual bool OnMessageStart(const MessageInfo& message) = 0;
  virtual bool OnElement(uint32_t tag, std::string_view value, uint64_t offset) = 0;
  virtual bool OnGroupStart(const GroupMarker& marker) = 0;
  virtual bool OnRepetition(uint64_t offset) = 0;
  virtual bool OnGroupEnd(uint64_t offset) = 0;
  // remaining: declared message bytes left at the end mark (0 when the
  // length matches).
  virtual bool OnMessageEnd(const MessageInfo& message, long remaining) = 0;
  virtual bool OnError(int code, std::string_view message, uint64_t offset) = 0;
};

enum class ReadOutcome {
  kComplete,  // the end of the file between groups
  kStopped,   // the visitor stopped the walk
  kFailed,    // a stopping damage was reported
};

// Walks the whole input. A read error of the input ends the walk as if the
// file ended there; the caller tells it apart with input.ReadFailed().
[[nodiscard]] ReadOutcome ReadCiiFile(CiiInput& input, CiiVisitor& visitor);

}  // namespace edi::cii
