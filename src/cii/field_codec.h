// Storing texts into fixed byte fields and reading them back, and the two-byte
// codings of CII: Shift_JIS ("M", here Windows-31J), JIS X 0208 code pairs
// ("S") and UTF-16 ("U", big-endian).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

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

// Every half-width character that has a full-width form replaced by it
// (ASCII, the space, half-width katakana).
std::string ToFullWidth(std::string_view text);

// The Windows-31J bytes of a "K" field as the local-to-CII direction writes
// them for double-byte code `code`: the bytes decoded, widened and encoded
// again. Fields made only of double-byte characters that come back as
// themselves (the common case) are returned as they are, without the trip
// through Unicode.
std::string WidenAnsiField(std::string_view ansiBytes, char code);

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
