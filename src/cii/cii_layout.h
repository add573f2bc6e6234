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

inline constexpr uint32_t kFirstExtendedItem = 241;    // first item number that needs 0xF0
inline constexpr uint32_t kFirstThreeByteItem = 0xF000;

// Storage modes (header offset 146).
inline constexpr char kStorageSmall = 'M';
inline constexpr char kStorageLarge = 'S';
inline constexpr char kStorageDefault = ' ';

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
