// The CII transmission file layout: constants shared by the block writer, the
// block reader and both converters.
//
// A file is a sequence of blocks, each a control character and data bytes:
//   "0" + "C" + 249 header bytes      message group header (always 251 bytes)
//   "0" + "E" + 249 trailer bytes     message group trailer (always 251 bytes)
//   "1".."8" + data                   a full block of a message that goes on
//   "9" + data                        the last (or only) block of a message
// Storage mode "M" or space: 250 data bytes a block, the last block filled
// with spaces to 251 bytes. Storage mode "S": 32000 data bytes a block, the
// last block not filled.
//
// Message data: "D", five digits of message number, the length (two bytes
// body+9, or 0x80 0x80 0xF7 and seven digits of body+17), the body, 0xFE.
//
// This layer stands alone: it knows the bytes of the format and nothing of
// the format tables, the database or the XML vocabulary above it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace edi::cii {

inline constexpr size_t kRecordSize = 249;  // group header and trailer records
inline constexpr size_t kHeaderBlockSize = 251;

inline constexpr size_t kBlockDataM = 250;
inline constexpr size_t kBlockDataS = 32000;

inline constexpr size_t kShortHeaderSize = 9;   // "D" + 5 digits + 2 length bytes + end mark
inline constexpr size_t kLongHeaderSize = 17;   // "D" + 5 + 0x80 0x80 0xF7 + 7 digits + end mark
inline constexpr size_t kShortBodyMax = 32759;  // longest body of the short length form

// Body bytes.
inline constexpr uint8_t kMaxOneByteTag = 239;
inline constexpr uint8_t kExtendedSwitch = 0xF0;
inline constexpr uint8_t kLongLength = 0xF2;
inline constexpr uint8_t kLongFormMark = 0xF7;
inline constexpr uint8_t kPassOver = 0xF8;
inline constexpr uint8_t kSkipNext = 0xF9;
inline constexpr uint8_t kGroupStart = 0xFA;
inline constexpr uint8_t kRepetition = 0xFB;
inline constexpr uint8_t kGroupEnd = 0xFC;
inline constexpr uint8_t kGroupStartNumber = 0xFD;
inline constexpr uint8_t kEndMark = 0xFE;

// Item numbers up to 239 fit a one-byte tag. 240 would be the byte 0xF0,
// which readers take as the switch, so it is written in extended form like
// every larger number. Extended tags take two bytes up to 0xEFFF (a first
// byte below the switch), and three bytes from 0x10000 to 0x7FFFF: 0xF0 plus
// bits 16 to 19 of the number (0xF1..0xF7), then bits 8 to 15 and 0 to 7.
// No tag carries 0xF000..0xFFFF, whose first byte would be the switch 0xF0
// in either form, nor anything above 0x7FFFF, whose first byte would be a
// control byte.
inline constexpr uint32_t kFirstExtendedItem = 240;
inline constexpr uint32_t kLastTwoByteItem = 0xEFFF;       // 61439
inline constexpr uint32_t kFirstThreeByteItem = 0x10000;   // 65536
inline constexpr uint32_t kMaxItemNumber = 0x7FFFF;        // 524287
inline constexpr uint8_t kFirstThreeByteLead = 0xF1;
inline constexpr uint8_t kLastThreeByteLead = 0xF7;

// True for an item number that some tag form carries.
constexpr bool IsCarriedItemNumber(uint32_t itemNo) {
  return itemNo <= kLastTwoByteItem || (itemNo >= kFirstThreeByteItem && itemNo <= kMaxItemNumber);
}

// The largest values the fixed fields of the layout hold.
inline constexpr size_t kMaxElementLength = 0xFFFF;  // 0xF2 + two bytes
inline constexpr size_t kMaxLongMessageData = 9999999;  // seven digits, "D" through 0xFE
inline constexpr long kMaxMessageCount = 99999;  // five digits: message numbers, trailer count

// Storage modes (header offset 146).
inline constexpr char kStorageSmall = 'M';
inline constexpr char kStorageLarge = 'S';
inline constexpr char kStorageDefault = ' ';

// The damage a reader of the layout reports, by its ERR.LOG code. The
// stopping ones end the walk; the others are reported and the walk goes on.
namespace damage {
inline constexpr int kTruncated = 7;        // the file ends inside a record, a message or a group
inline constexpr int kBlockId = 8;          // a block that is neither "0" + letter nor "1".."9" + "D"
inline constexpr int kLengthPrefix = 9;     // an element length prefix 240 or more other than 0xF2
inline constexpr int kMarkerFD = 11;        // 0xFD in one-byte tag mode
inline constexpr int kSpecialByte = 13;     // an unknown special byte in a body
inline constexpr int kStorageMode = 16;     // a storage mode other than "M", space or "S"
inline constexpr int kOpenGroup = 30;       // the end mark comes while a group is open
inline constexpr int kTrailerCount = 32;    // a trailer count that matches no count of messages
inline constexpr int kNotCii = 35;          // the first block is not a group header
inline constexpr int kTooMuchDamage = 36;   // kMaxDamageReports in one file
}  // namespace damage

// After this many damage reports in one file the walk stops (kTooMuchDamage).
inline constexpr int kMaxDamageReports = 100;

// True for the damage that ends a walk.
constexpr bool IsStoppingDamage(int code) {
  return code == damage::kTruncated || code == damage::kStorageMode || code == damage::kOpenGroup ||
         code == damage::kNotCii || code == damage::kTooMuchDamage;
}

// What a writer of the layout refuses, by its ERR.LOG code.
namespace refusal {
inline constexpr int kTooLong = 33;     // a length, count or number that does not fit its field
inline constexpr int kItemNumber = 34;  // an item number no tag form carries (!IsCarriedItemNumber)
}  // namespace refusal

// True for the storage modes the layout knows.
constexpr bool IsKnownStorageMode(char mode) {
  return mode == kStorageSmall || mode == kStorageLarge || mode == kStorageDefault;
}

// Data bytes per block of a storage mode ("S" 32000, otherwise 250).
constexpr size_t BlockDataSize(char mode) { return mode == kStorageLarge ? kBlockDataS : kBlockDataM; }

// Group header offsets (0-based within the 249 bytes).
namespace header {
inline constexpr size_t kBpid = 73;        // 8 bytes: JPC10, JPC11, JPC12
inline constexpr size_t kBpidLength = 8;
inline constexpr size_t kInfoCode = 93;    // 4 bytes: JPC14
inline constexpr size_t kInfoCodeLength = 4;
inline constexpr size_t kSenderCode = 25;  // 12 bytes: JPC06
inline constexpr size_t kReceiverCode = 61;  // 12 bytes: JPC09
inline constexpr size_t kGroupKind = 103;  // 2 bytes: JPC17, "20" groups carry no data
inline constexpr size_t kCreated = 115;    // 12 bytes: JPC19
inline constexpr size_t kStorageMode = 146;   // JPC23
inline constexpr size_t kSingleByteSet = 147; // JPC24
inline constexpr size_t kDoubleByteSet = 148; // JPC25
}  // namespace header

// One field of the group header that an XML element carries, or a field no
// element carries (element nullptr) with the default the XML side writes.
struct HeaderField {
  const char* element;
  size_t offset;
  size_t length;
  const char* fallback;  // default text for fields without element
};

// Every field of the 249-byte group header, in offset order.
inline constexpr HeaderField kHeaderFields[] = {
    {"JPC03", 0, 1, ""},    {"JPC04", 1, 12, ""},   {"JPC05", 13, 12, ""},
    {"JPC06", 25, 12, ""},  {"JPC07", 37, 12, ""},  {"JPC08", 49, 12, ""},
    {"JPC09", 61, 12, ""},  {"JPC10", 73, 4, ""},   {"JPC11", 77, 2, ""},
    {"JPC12", 79, 2, ""},   {nullptr, 81, 12, ""},  {"JPC14", 93, 4, ""},
    {nullptr, 97, 3, ""},   {nullptr, 100, 3, ""},  {"JPC17", 103, 2, ""},
    {"JPC18", 105, 10, ""}, {"JPC19", 115, 12, ""}, {nullptr, 127, 12, ""},
    {"JPC21", 139, 6, ""},  {nullptr, 145, 1, "E"}, {"JPC23", 146, 1, ""},
    {"JPC24", 147, 1, ""},  {"JPC25", 148, 1, ""},  {nullptr, 149, 1, ""},
    {nullptr, 150, 5, ""},  {nullptr, 155, 5, ""},  {"JPC29", 160, 1, ""},
    {"JPC30", 161, 3, ""},  {"JPC31", 164, 3, ""},  {"JPC32", 167, 3, ""},
    {"JPC33", 170, 3, ""},  {"JPC34", 173, 3, ""},  {"JPC35", 176, 3, ""},
    {nullptr, 179, 70, ""},
};

}  // namespace edi::cii
