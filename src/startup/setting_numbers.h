// Numbers in EDI.ini as the Windows conversions read them: decimal, or "&H"
// and hexadecimal digits (a 32-bit signed value).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace edi {

// A settings text converted as a decimal number (blanks around it allowed).
// nullopt when the text is empty or not a number.
std::optional<double> ParseSettingNumber(std::string_view text);

// A settings text converted to a 16-bit integer, rounding halves to even;
// nullopt when it is empty, not a number or outside -32768..32767.
std::optional<int16_t> ParseSettingInt16(std::string_view text);

// The number at the start of a settings text: decimal digits, or "&H" and
// hexadecimal digits; 0 without any.
double LeadingSettingNumber(std::string_view text);

}  // namespace edi
