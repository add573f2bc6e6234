// Numbers as digit texts, with exact decimal arithmetic: a quantity read from
// a partner's file is never passed through binary floating point.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace edi::cii {

struct DecimalText {
  bool negative = false;
  std::string integer;   // digits without leading zeros ("" for zero)
  std::string fraction;  // digits without trailing zeros

  bool IsZero() const { return integer.empty() && fraction.empty(); }
};

// Parses "[blanks][+|-]digits[.digits][blanks]" (either digit run may be
// empty, not both). With impliedDecimals > 0 and no "." in the text, the last
// impliedDecimals digits are the fraction. nullopt for anything else; an
// all-blank text is zero.
std::optional<DecimalText> ParseDecimal(std::string_view text, int impliedDecimals = 0);

// floor(value * 10^decimals) as plain digits without leading zeros, "-" for
// a negative result, "0" for zero.
std::string ScaledInteger(const DecimalText& value, int decimals);

// The value laid out with `integerDigits` zero-filled integer digits, then
// (decimals > 0) "." and `decimals` digits; digits beyond are dropped
// rounding towards minus infinity. A negative value puts "-" in the first
// integer position. nullopt when the integer part does not fit.
std::optional<std::string> LayoutDecimal(const DecimalText& value, int integerDigits, int decimals);

// General number form: no leading zeros, "." only with a fraction, "-" sign
// ("0" for zero). Every digit is kept.
std::string GeneralNumber(const DecimalText& value);

// The unsigned decimal texts most local records hold ("00123.40"), scaled
// to `ciiDecimals` digits as ParseDecimal and ScaledInteger do, but without
// their allocations: `out` is a view of `raw` when the digits stand there
// already, else of `storage`; empty for zero. `tooManyDecimals` is set
// when the text has more significant decimals than `localDecimals`. False
// when `raw` is not such a text (a sign, blanks inside, no digits): the
// general path then takes it.
bool ScalePlainDecimal(std::string_view raw, int localDecimals, int ciiDecimals, std::string& storage,
                       std::string_view& out, bool& tooManyDecimals);

// A six-digit date yymmdd with its century put in front: "20" for yy 00 to
// 50, "19" for 51 to 99. A text of any other length comes back unchanged.
std::string WithCentury(std::string date);

}  // namespace edi::cii
