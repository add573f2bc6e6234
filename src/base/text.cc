#include "base/text.h"

#include <cstdint>

namespace edi {
namespace {

template <typename Drop>
std::string_view TrimWith(std::string_view s, Drop drop) {
  while (!s.empty() && drop(s.front())) s.remove_prefix(1);
  while (!s.empty() && drop(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

std::string_view TrimBlanksView(std::string_view text) { return TrimWith(text, IsBlank); }
std::string TrimBlanks(std::string_view text) { return std::string(TrimBlanksView(text)); }

std::string TrimSpaces(std::string_view text) { return std::string(TrimSpacesView(text)); }

std::string_view TrimTrailingSpacesView(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

bool EndsWithIgnoreAsciiCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         EqualsIgnoreAsciiCase(text.substr(text.size() - suffix.size()), suffix);
}

long long LeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value > (INT64_MAX - 9) / 10) break;  // more digits than any count the station meets
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

}  // namespace edi
