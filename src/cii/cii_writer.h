// Writing CII: message bodies (tags, lengths, group markers), message data
// (header, body, end mark) and the cutting of messages into blocks.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

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

// Builds one message body.
class MessageBody {
 public:
  // Appends a data element. The first item number of 241 or more switches
  // the message to extended tags (0xF0), after which every tag takes two
  // bytes (three from 61440 on). Lengths above 239 take 0xF2 + two bytes.
  void AppendElement(uint32_t itemNo, std::string_view value);

  // Appends the start of a multi-detail group: 0xFA alone in one-byte tag
  // mode; in extended mode, 0xF0 first for a non-zero number, then 0xFA and
  // the character code, or 0xFD and the number. False (nothing appended)
  // when extended mode needs a marker the number has no form for.
  bool AppendGroupStart(std::string_view multiNo, bool zeroIsDigit);

  void AppendRepetition();  // 0xFB
  void AppendGroupEnd();    // 0xFC

  bool extended() const { return extended_; }
  const std::string& bytes() const { return bytes_; }
  void Clear() { bytes_.clear(); extended_ = false; }

 private:
  std::string bytes_;
  bool extended_ = false;
};

// The message data: "D", the number in five digits, the length (short form
// for bodies up to 32759 bytes, else 0x80 0x80 0xF7 and seven digits), the
// body and the end mark 0xFE.
std::string MessageData(int number, std::string_view body);

// Appends the message data cut into blocks of storage mode `mode` to `out`:
// "1".."8" cycling for full blocks that continue, "9" for the last, which is
// filled with spaces to 251 bytes in modes "M" and space only.
void AppendMessageBlocks(std::string& out, std::string_view data, char mode);

// Appends the group header block "0" "C" + 249 bytes, or the trailer block
// "0" "E" + 249 bytes.
void AppendGroupHeader(std::string& out, std::span<const uint8_t> header);
void AppendGroupTrailer(std::string& out, std::span<const uint8_t> trailer);

// Fills a trailer record: the message count in five digits, then spaces.
void FillTrailer(std::span<uint8_t> trailer, long count);

}  // namespace edi::cii
