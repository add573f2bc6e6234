// Writing CII: message bodies (tags, lengths, group markers), message data
// (header, body, end mark), the cutting of messages into blocks, and the
// group header and trailer blocks.
//
// The writer only writes what a reader takes back: a value that a field of
// the layout cannot hold is refused with its ERR.LOG code (refusal::...),
// never wrapped into a shorter field. Functions that can refuse return 0 when
// they wrote, else the refusal code, and then append nothing.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "cii/syntax/cii_layout.h"

namespace edi::cii {

// How a multi-detail group number is marked in two-byte tag mode.
enum class MarkerForm {
  kCharacter,  // 0xFA + the character code of a one-character number
  kNumber,     // 0xFD + the number in two bytes
  kNone,       // no marker form exists for the number
};

// The marker form of a multi-detail number: a single digit ("1".."9", and
// "0" too when zeroIsDigit) or a text sorting from "A" to "Z" is a
// character; a number from 10 to 65535 a number; anything else none.
MarkerForm ChooseMarkerForm(std::string_view multiNo, bool zeroIsDigit, int& number);

// Builds one message body: in its own bytes, or (Begin) at the end of a
// string that gathers output, so that the body needs no copy of its own.
class MessageBody {
 public:
  MessageBody() = default;
  MessageBody(const MessageBody&) = delete;
  MessageBody& operator=(const MessageBody&) = delete;

  // Starts an empty body written at the end of `out`, after what `out`
  // holds; the body is out's bytes from there on until the next Begin.
  void Begin(std::string& out) {
    out_ = &out;
    start_ = out.size();
    extended_ = false;
  }

  // Appends a data element. The first item number of 240 or more switches
  // the message to extended tags (0xF0), after which every tag takes two
  // bytes, or three from kFirstThreeByteItem on. Lengths above 239 take
  // 0xF2 + two bytes. Refuses an item number no tag carries (61440 to 65535
  // and above kMaxItemNumber: refusal::kItemNumber) and a value longer than
  // kMaxElementLength (refusal::kTooLong).
  [[nodiscard]] int AppendElement(uint32_t itemNo, std::string_view value) {
    // The common element: a one-byte tag and a one-byte length.
    if (!extended_ && itemNo < kFirstExtendedItem && value.size() <= kMaxOneByteTag) {
      const char tag[2] = {static_cast<char>(itemNo), static_cast<char>(value.size())};
      out_->append(tag, 2).append(value);
      return 0;
    }
    return AppendTaggedElement(itemNo, value);
  }

  // Appends the start of a multi-detail group: 0xFA alone in one-byte tag
  // mode; in extended mode, 0xF0 first for a non-zero number, then 0xFA and
  // the character code, or 0xFD and the number. False (nothing appended)
  // when extended mode needs a marker the number has no form for.
  [[nodiscard]] bool AppendGroupStart(std::string_view multiNo, bool zeroIsDigit);

  void AppendRepetition() { out_->push_back(static_cast<char>(kRepetition)); }
  void AppendGroupEnd() { out_->push_back(static_cast<char>(kGroupEnd)); }

  bool extended() const { return extended_; }
  std::string_view bytes() const { return std::string_view(*out_).substr(start_); }
  void Clear() {
    out_->resize(start_);
    extended_ = false;
  }

 private:
  int AppendTaggedElement(uint32_t itemNo, std::string_view value);

  std::string own_;
  std::string* out_ = &own_;  // the body is out_'s bytes from start_ on
  size_t start_ = 0;
  bool extended_ = false;
};

// Sets `data` to the message data: "D", the number in five digits, the
// length (short form for bodies up to 32759 bytes, else 0x80 0x80 0xF7 and
// seven digits), the body and the end mark 0xFE. Refuses (refusal::kTooLong)
// a number outside 0..99999 and a body whose length the seven digits cannot
// hold.
[[nodiscard]] int MessageData(long number, std::string_view body, std::string& data);

// Appends the message data cut into blocks of storage mode `mode` to `out`:
// "1".."8" cycling for full blocks that continue, "9" for the last, which is
// filled with spaces to 251 bytes in modes "M" and space only.
void AppendMessageBlocks(std::string& out, std::string_view data, char mode);

// MessageData and AppendMessageBlocks in one step, without the message's
// data in between: the blocks of message `number` appended to `out`. The
// same refusals as MessageData (nothing is appended then).
[[nodiscard]] int AppendMessage(std::string& out, long number, std::string_view body, char mode);

// The room to leave before a body that FinishMessageInPlace turns into
// blocks: the block number and the prefix of a short body.
inline constexpr size_t kMessageRoom = 1 + kShortHeaderSize - 1;

// Turns what `out` holds from `at` on (kMessageRoom bytes of room, then the
// body of message `number`) into the message's blocks, exactly as
// AppendMessage appends them, in place when they fill one block. The same
// refusals as AppendMessage (`out` is then cut back to `at`).
[[nodiscard]] int FinishMessageInPlace(std::string& out, size_t at, long number, char mode);

// Appends the group header block "0" "C" + the 249 header bytes.
void AppendGroupHeader(std::string& out, std::span<const uint8_t> header);

// Appends the group trailer block "0" "E" + the message count in five digits
// + spaces. Refuses (refusal::kTooLong) a count outside 0..99999.
[[nodiscard]] int AppendGroupTrailer(std::string& out, long count);

}  // namespace edi::cii
