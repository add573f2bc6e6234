// Storing texts into fixed byte fields and reading them back, and the two-byte
// codings of CII: Shift_JIS ("M", here Windows-31J), JIS X 0208 code pairs
// ("S") and UTF-16 ("U", big-endian).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cii/full_width.h"

namespace edi::cii {

// Mask bits of StoreMixedText.
inline constexpr int kMaskSingleByte = 1;
inline constexpr int kMaskDoubleByte = 2;

// Fills `field` with the text's Windows-31J bytes, spaces past its end. A
// two-byte character that does not fit into the last byte is replaced by a
// space; nothing is written outside the field. Returns the mask of what was
// stored: 0 nothing, 1 one-byte characters, 2 two-byte characters, 3 both.
int StoreMixedText(std::span<uint8_t> field, std::string_view text);
int StoreMixedBytes(std::span<uint8_t> field, std::string_view ansiBytes);

// Widens `text` (ToFullWidth; the caller's text changes), then stores it as
// StoreMixedText does.
void StoreWideText(std::span<uint8_t> field, std::string& text);

// The geta mark "〓" (0x81 0xAC): in a double-byte field it stands for
// what is no Windows-31J character.
inline constexpr std::string_view kGetaMark = "\x81\xAC";

// The one rule for broken characters in double-byte fields, in both
// directions of the local converter. In Windows-31J bytes, each of these
// becomes one geta mark: a lead byte at the end or before a byte that cannot
// end a pair (the byte after it is then read on its own), a pair that no
// character has, and a single byte that no character has (0x80, 0xA0,
// 0xFD-0xFF). Every other byte stays. nullopt when every byte belongs to a
// character, which mended bytes always do.
std::optional<std::string> MendBrokenCharacters(std::string_view ansiBytes);

// Every character of `text` that Windows-31J lacks (U+FFFD of undecodable
// bytes too) replaced by the geta mark; true when one was.
bool ReplaceOutsideAnsi(std::string& text);

// The CII bytes of a local double-byte ("K") field in double-byte code
// `code`: broken characters mended (MendBrokenCharacters), then decoded,
// widened (what the widening makes outside Windows-31J, such as "ヷ", becomes
// the geta mark too) and encoded; `mended` tells the caller to log 0027.
// Fields made only of double-byte characters that come back as themselves
// (the common case) are returned as they are (a view of `ansiBytes`),
// without the trip through Unicode; other results are held in `storage`.
std::string_view WidenAnsiField(std::string_view ansiBytes, char code, std::string& storage, bool& mended);

// The Windows-31J bytes of a CII double-byte element in code `code`, for a
// local field: "M" (or space) bytes as they stand, other codes decoded and
// encoded. What is no Windows-31J character becomes the geta mark
// (MendBrokenCharacters, ReplaceOutsideAnsi), and `mended` says so. The
// result is `element` itself when it is whole "M" bytes, else made in
// `storage`.
std::string_view AnsiDoubleBytes(std::string_view element, char code, std::string& storage, bool& mended);

// The text of a field's bytes, decoded as Windows-31J.
std::string FieldText(std::span<const uint8_t> field);

// Element bytes decoded as Windows-31J one-byte text (two-byte characters
// decoded whole; a lone lead byte at the end becomes U+FFFD). The key is not
// used by this decoding.
std::string DecodeSingleByteField(std::string_view bytes, std::string_view key = "");

// Element bytes decoded by a two-letter key: the first letter the coding of
// the bytes, the second the form of the result ("M" text, "S" a text of JIS
// code-pair characters, "U" text). An odd byte count ends in U+FFFD.
std::string DecodeDoubleByteField(std::string_view bytes, std::string_view key);

// JIS X 0208 code pairs to text (by way of their Shift_JIS codes).
std::string JisPairsToShiftJis(std::string_view pairs);

// Each two-byte character replaced by the two characters of its JIS X 0208
// code pair; one-byte characters unchanged.
std::string ShiftJisToJisPairs(std::string_view text);

// Bytes of two-byte coding `code` ('M', 'S', 'U'; anything else is 'M') to
// text, and text to such bytes.
std::string DecodeDoubleBytes(std::string_view bytes, char code);
std::string EncodeDoubleBytes(std::string_view text, char code);

}  // namespace edi::cii
