#include "startup/setting_numbers.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

#include "base/text.h"

namespace edi {

std::optional<double> ParseSettingNumber(std::string_view text) {
  std::string t = TrimBlanks(text);
  if (t.empty()) return std::nullopt;
  if (t.size() > 2 && t[0] == '&' && (t[1] == 'H' || t[1] == 'h')) {
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(t.c_str() + 2, &end, 16);
    if (errno != 0 || end == t.c_str() + 2 || *end != '\0' || v > 0xFFFFFFFFull) return std::nullopt;
    // Windows reads "&H" numbers of up to 8 digits as signed 32-bit values.
    return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(v)));
  }
  for (char c : t) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E')) {
      return std::nullopt;
    }
  }
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(t.c_str(), &end);
  if (errno != 0 || end != t.c_str() + t.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<int16_t> ParseSettingInt16(std::string_view text) {
  auto v = ParseSettingNumber(text);
  if (!v) return std::nullopt;
  double rounded = std::nearbyint(*v);  // the default mode rounds halves to even
  if (rounded < -32768.0 || rounded > 32767.0) return std::nullopt;
  return static_cast<int16_t>(rounded);
}

double LeadingSettingNumber(std::string_view text) {
  const std::string_view t = TrimBlanksView(text);
  if (t.size() > 2 && t[0] == '&' && (t[1] == 'H' || t[1] == 'h')) {
    uint32_t value = 0;
    for (size_t i = 2; i < t.size() && i < 10 && std::isxdigit(static_cast<unsigned char>(t[i])); ++i) {
      const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(t[i])));
      value = value * 16 + static_cast<uint32_t>(c <= '9' ? c - '0' : c - 'A' + 10);
    }
    return static_cast<double>(static_cast<int32_t>(value));
  }
  return static_cast<double>(LeadingNumber(t));
}

}  // namespace edi
