#include "cii/decimal_text.h"

#include <algorithm>

namespace edi::cii {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void Normalise(DecimalText& v) {
  v.integer.erase(0, std::min(v.integer.find_first_not_of('0'), v.integer.size()));
  while (!v.fraction.empty() && v.fraction.back() == '0') v.fraction.pop_back();
  if (v.IsZero()) v.negative = false;
}

// Adds one to a digit string ("" is zero).
std::string Increment(std::string digits) {
  for (size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return digits;
    }
    digits[i] = '0';
  }
  return "1" + digits;
}

bool AllZero(std::string_view digits) {
  return std::all_of(digits.begin(), digits.end(), [](char c) { return c == '0'; });
}

}  // namespace

std::optional<DecimalText> ParseDecimal(std::string_view text, int impliedDecimals) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  DecimalText v;
  if (text.empty()) return v;
  if (text.front() == '+' || text.front() == '-') {
    v.negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const size_t dot = text.find('.');
  std::string_view integer = text.substr(0, dot);
  std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  if ((integer.empty() && fraction.empty()) || !std::all_of(integer.begin(), integer.end(), IsDigit) ||
      !std::all_of(fraction.begin(), fraction.end(), IsDigit)) {
    return std::nullopt;
  }
  if (dot == std::string_view::npos && impliedDecimals > 0) {
    std::string digits(integer);
    if (digits.size() < static_cast<size_t>(impliedDecimals)) {
      digits.insert(0, static_cast<size_t>(impliedDecimals) - digits.size(), '0');
    }
    v.integer = digits.substr(0, digits.size() - static_cast<size_t>(impliedDecimals));
    v.fraction = digits.substr(digits.size() - static_cast<size_t>(impliedDecimals));
  } else {
    v.integer = std::string(integer);
    v.fraction = std::string(fraction);
  }
  Normalise(v);
  return v;
}

std::string ScaledInteger(const DecimalText& value, int decimals) {
  std::string fraction = value.fraction;
  const size_t keep = static_cast<size_t>(std::max(decimals, 0));
  if (fraction.size() < keep) fraction.append(keep - fraction.size(), '0');
  const bool dropped = !AllZero(std::string_view(fraction).substr(keep));
  std::string digits = value.integer + fraction.substr(0, keep);
  if (value.negative && dropped) digits = Increment(digits);  // towards minus infinity
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
  if (digits.empty()) return "0";
  return value.negative ? "-" + digits : digits;
}

std::optional<std::string> LayoutDecimal(const DecimalText& value, int integerDigits, int decimals) {
  const std::string scaled = ScaledInteger(value, decimals);
  const bool negative = scaled.front() == '-';
  std::string digits = negative ? scaled.substr(1) : scaled;
  const size_t keep = static_cast<size_t>(std::max(decimals, 0));
  if (digits.size() < keep + 1) digits.insert(0, keep + 1 - digits.size(), '0');
  std::string integer = digits.substr(0, digits.size() - keep);
  const std::string fraction = digits.substr(digits.size() - keep);
  integer.erase(0, std::min(integer.find_first_not_of('0'), integer.size()));
  const size_t width = static_cast<size_t>(std::max(integerDigits, 0));
  const size_t room = negative ? (width == 0 ? 0 : width - 1) : width;
  if (integer.size() > room) return std::nullopt;
  std::string out = (negative ? "-" : "") + std::string(room - integer.size(), '0') + integer;
  if (keep > 0) out += "." + fraction;
  return out;
}

std::string GeneralNumber(const DecimalText& value) {
  if (value.IsZero()) return "0";
  std::string out = value.negative ? "-" : "";
  out += value.integer.empty() ? "0" : value.integer;
  if (!value.fraction.empty()) out += "." + value.fraction;
  return out;
}

// The unsigned decimal texts most records hold ("00123.40"), scaled to
// `ciiDecimals` as ParseDecimal and ScaledInteger do, without their
// allocations: `out` empty for zero. False when `raw` is not such a text
// (signs, blanks inside, no digits): the general path takes it.
bool ScalePlainDecimal(std::string_view raw, int localDecimals, int ciiDecimals, std::string& storage,
                       std::string_view& out, bool& tooManyDecimals) {
  const char* begin = raw.data();
  const char* end = begin + raw.size();
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (begin < end && blank(*begin)) ++begin;
  while (end > begin && blank(end[-1])) --end;
  // One pass: the first "." and where the significant digits begin and end.
  const char* dot = nullptr;
  const char* firstInteger = nullptr;  // the first non-zero digit before the "."
  const char* lastFraction = nullptr;  // the last non-zero digit after it
  // Random digits make "is it a zero" unpredictable: conditional moves
  // instead of branches.
  for (const char* c = begin; c < end; ++c) {
    const auto digit = static_cast<unsigned char>(*c - '0');
    if (digit > 9) {
      if (*c != '.' || dot != nullptr) return false;
      dot = c;
      continue;
    }
    const bool significant = digit != 0;
    if (dot == nullptr) {
      firstInteger = firstInteger == nullptr && significant ? c : firstInteger;
    } else {
      lastFraction = significant ? c : lastFraction;
    }
  }
  if (begin == end || (dot != nullptr && end - begin == 1)) return false;
  const auto significant = static_cast<size_t>(lastFraction != nullptr ? lastFraction - dot : 0);
  out = {};
  if (significant > static_cast<size_t>(std::max(localDecimals, 0))) {
    tooManyDecimals = true;
    return true;
  }
  if (significant == 0 && firstInteger == nullptr) return true;  // zero
  const char* integerEnd = dot != nullptr ? dot : end;
  if (ciiDecimals <= 0 && firstInteger != nullptr) {  // the integer's digits as they stand
    out = std::string_view(firstInteger, static_cast<size_t>(integerEnd - firstInteger));
    return true;
  }
  storage.clear();
  if (firstInteger != nullptr) storage.append(firstInteger, integerEnd);
  for (size_t i = 0; i < static_cast<size_t>(std::max(ciiDecimals, 0)); ++i) {
    const char digit = i < significant ? dot[1 + i] : '0';
    if (!storage.empty() || digit != '0') storage.push_back(digit);  // no leading zeros
  }
  if (storage.empty()) storage = "0";
  out = storage;
  return true;
}

std::string WithCentury(std::string date) {
  if (date.size() == 6) date.insert(0, date.compare(0, 2, "50") <= 0 ? "20" : "19");
  return date;
}

}  // namespace edi::cii
