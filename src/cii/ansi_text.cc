#include "cii/ansi_text.h"

#include <unicode/ustring.h>

#include <vector>

#include "base/ansi_codec.h"

namespace edi::cii {
namespace {

std::u16string ToUtf16(std::string_view text) {
  std::u16string out(text.size() + 1, u'\0');
  int32_t len = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &len,
                       text.data(), static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
  out.resize(U_SUCCESS(status) ? static_cast<size_t>(len) : 0);
  return out;
}

// Decodes UTF-16LE bytes (an odd last byte becomes U+FFFD).
std::string FromUtf16LeBytes(std::string_view bytes) {
  std::vector<UChar> units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units.push_back(static_cast<UChar>(static_cast<unsigned char>(bytes[i]) |
                                       (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  if (bytes.size() % 2 != 0) units.push_back(0xFFFD);
  std::string out(units.size() * 3 + 1, '\0');
  int32_t len = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &len, units.data(),
                     static_cast<int32_t>(units.size()), 0xFFFD, nullptr, &status);
  out.resize(U_SUCCESS(status) ? static_cast<size_t>(len) : 0);
  return out;
}

std::string Utf16LeBytes(std::string_view text) {
  std::string bytes;
  for (char16_t u : ToUtf16(text)) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  return bytes;
}

std::string CutDecoded(std::string_view text, size_t start, std::optional<size_t> n) {
  if (RoundTripsToAnsi(text)) {
    const std::string bytes = ToAnsiBytes(text);
    if (start >= bytes.size()) return "";
    return FromAnsiBytes(std::string_view(bytes).substr(start, n.value_or(std::string::npos)));
  }
  const std::string bytes = Utf16LeBytes(text);
  if (start >= bytes.size()) return "";
  return FromUtf16LeBytes(std::string_view(bytes).substr(start, n.value_or(std::string::npos)));
}

}  // namespace

std::string ToAnsiBytes(std::string_view text) {
  std::string bytes;
  Utf8ToAnsi(text, bytes);
  return bytes;
}

std::string FromAnsiBytes(std::string_view bytes) {
  // A lead byte at the very end has lost its trail byte.
  size_t i = 0;
  while (i < bytes.size()) i += IsLeadByte(static_cast<unsigned char>(bytes[i])) ? 2 : 1;
  if (i > bytes.size()) return AnsiToUtf8(bytes.substr(0, bytes.size() - 1)) + "\xEF\xBF\xBD";
  return AnsiToUtf8(bytes);
}

bool RoundTripsToAnsi(std::string_view text) {
  std::string bytes;
  return Utf8ToAnsi(text, bytes) && AnsiToUtf8(bytes) == text;
}

int AnsiByteLength(std::string_view text) {
  std::string bytes;
  if (Utf8ToAnsi(text, bytes) && AnsiToUtf8(bytes) == text) return static_cast<int>(bytes.size());
  return static_cast<int>(ToUtf16(text).size() * 2);
}

std::string AnsiLeftBytes(std::string_view text, int n) {
  return CutDecoded(text, 0, static_cast<size_t>(std::max(n, 0)));
}

std::optional<std::string> AnsiMidBytes(std::string_view text, int start, std::optional<int> n) {
  if (start < 1 || (n && *n < 0)) return std::nullopt;
  std::optional<size_t> count;
  if (n) count = static_cast<size_t>(*n);
  return CutDecoded(text, static_cast<size_t>(start - 1), count);
}

std::string_view CutAnsiBytes(std::string_view bytes, size_t n) {
  if (bytes.size() <= n) return bytes;
  size_t i = 0;
  while (i < n) {
    const size_t step = IsLeadByte(static_cast<unsigned char>(bytes[i])) ? 2 : 1;
    if (i + step > n) break;
    i += step;
  }
  return bytes.substr(0, i);
}

void PutFieldAt(std::string& record, int position, std::string_view value) {
  if (position < 1) return;
  const size_t start = static_cast<size_t>(position - 1);
  if (record.size() < start + value.size()) record.resize(start + value.size(), ' ');
  record.replace(start, value.size(), value);
}

}  // namespace edi::cii
