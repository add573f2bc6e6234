// Small text helpers below everything else: trimming and the ASCII
// case-insensitive comparison the station uses for names (settings keys,
// column names, file-name endings). Texts are UTF-8 or Windows-31J bytes;
// only ASCII bytes are ever changed or folded.
#pragma once

#include <string>
#include <string_view>

namespace edi {

// True for the blanks a trim removes: space, tab, CR and LF.
constexpr bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// `text` without leading and trailing blanks (space, tab, CR, LF).
std::string_view TrimBlanksView(std::string_view text);
std::string TrimBlanks(std::string_view text);

// `text` without leading and trailing spaces (only 0x20), as fixed-length
// fields are padded. Inline: the converters trim every field of every record.
inline std::string_view TrimSpacesView(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}
std::string TrimSpaces(std::string_view text);

// `text` without trailing spaces (0x20).
std::string_view TrimTrailingSpacesView(std::string_view text);

// ASCII letters folded to upper case; every other byte unchanged.
constexpr char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// True when the texts are equal ignoring the case of ASCII letters.
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

// True when `text` ends with `suffix`, ignoring the case of ASCII letters.
bool EndsWithIgnoreAsciiCase(std::string_view text, std::string_view suffix);

// The number at the start of a text, as the Windows conversion reads it:
// leading blanks skipped, an optional sign, digits up to the first
// non-digit. No digits give 0.
long long LeadingNumber(std::string_view text);

}  // namespace edi
