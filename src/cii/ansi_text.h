// Byte-exact text handling in Windows-31J: every length and position of a
// CII element or local field counts bytes of the text's Windows-31J form.
//
// Texts are UTF-8; "ANSI bytes" are Windows-31J bytes held in std::string.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace edi::cii {

// True for a Windows-31J lead byte (0x81-0x9F, 0xE0-0xFC).
constexpr bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// True for a byte that can end a Windows-31J pair (0x40-0x7E, 0x80-0xFC).
constexpr bool IsTrailByte(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

// The Windows-31J bytes of a text ("?" for characters it cannot represent).
std::string ToAnsiBytes(std::string_view text);

// Decodes Windows-31J bytes; a lone lead byte becomes U+FFFD.
std::string FromAnsiBytes(std::string_view bytes);

// True when FromAnsiBytes(ToAnsiBytes(text)) == text.
bool RoundTripsToAnsi(std::string_view text);

// The number of Windows-31J bytes of the text when it round-trips; otherwise
// twice its number of UTF-16 code units.
int AnsiByteLength(std::string_view text);

// The first n bytes of the text's Windows-31J form, decoded (of its UTF-16LE
// form when it does not round-trip).
std::string AnsiLeftBytes(std::string_view text, int n);

// n bytes from the 1-based byte position `start` (to the end without n),
// decoded as for AnsiLeftBytes. nullopt for a start below 1.
std::optional<std::string> AnsiMidBytes(std::string_view text, int start,
                                        std::optional<int> n = std::nullopt);

// The longest prefix of ANSI bytes of at most n bytes that does not end
// inside a two-byte character.
std::string_view CutAnsiBytes(std::string_view bytes, size_t n);

// Writes `value` over the record's bytes from 1-based position `position`,
// exactly its own byte length; a record shorter than that grows (with spaces
// up to the position).
void PutFieldAt(std::string& record, int position, std::string_view value);

}  // namespace edi::cii
