// The installation's ANSI code page, Windows-31J (the Microsoft form of
// Shift_JIS), and UTF-8, the program's internal text form.
//
// Every conversion between the two goes through here, so that the whole
// station agrees on one converter (ICU "windows-31j": CP932 characters such as
// "①" and "～" map to their Unicode forms and back unchanged).
#pragma once

#include <string>
#include <string_view>

namespace edi {

// Decodes Windows-31J bytes to UTF-8. A byte sequence that is not valid
// Windows-31J becomes U+FFFD per bad sequence; decoding never fails.
std::string AnsiToUtf8(std::string_view ansi);

// Encodes UTF-8 text as Windows-31J bytes into `out`. Characters that
// Windows-31J cannot represent (and invalid UTF-8) become `substitute`.
// Returns true when every character was representable.
bool Utf8ToAnsi(std::string_view utf8, std::string& out, char substitute = '?');

// `text` with every byte that does not begin a well-formed UTF-8 sequence
// replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view text);

// Number of Unicode code points in well-formed UTF-8 text.
size_t Utf8Length(std::string_view utf8);

// The first `count` code points of UTF-8 text (the whole text when shorter).
std::string_view Utf8Prefix(std::string_view utf8, size_t count);

}  // namespace edi
