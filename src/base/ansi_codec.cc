#include "base/ansi_codec.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ustring.h>

#include <memory>
#include <vector>

namespace edi {
namespace {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// One converter per thread: opening an ICU converter costs far more than a
// conversion of a typical field, and converters are not thread-safe.
// Bytes that are not Windows-31J decode to U+FFFD (ICU's default for this
// converter is the control character U+001A, which would pass for data).
void ReplacementCallback(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                         UConverterCallbackReason reason, UErrorCode* status) {
  if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) return;
  static const UChar kReplacement = 0xFFFD;
  *status = U_ZERO_ERROR;
  ucnv_cbToUWriteUChars(args, &kReplacement, 1, 0, status);
}

UConverter* AnsiConverter() {
  thread_local ConverterPtr converter = [] {
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr c(ucnv_open("windows-31j", &status));
    if (c) {
      status = U_ZERO_ERROR;
      ucnv_setToUCallBack(c.get(), ReplacementCallback, nullptr, nullptr, nullptr, &status);
    }
    return c;
  }();
  return converter.get();
}

// Decodes one UTF-8 code point at `i`; returns false on a malformed sequence.
bool NextCodePoint(std::string_view s, size_t& i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  size_t len;
  if (b0 < 0x80) { cp = b0; i += 1; return true; }
  if (b0 >= 0xC2 && b0 <= 0xDF) { len = 2; cp = b0 & 0x1F; }
  else if (b0 >= 0xE0 && b0 <= 0xEF) { len = 3; cp = b0 & 0x0F; }
  else if (b0 >= 0xF0 && b0 <= 0xF4) { len = 4; cp = b0 & 0x07; }
  else return false;
  if (i + len > s.size()) return false;
  for (size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (b & 0x3F);
  }
  if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
      (cp >= 0xD800 && cp <= 0xDFFF)) {
    return false;
  }
  i += len;
  return true;
}

}  // namespace

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size() * 3 / 2 + 4);
  bool ascii = true;
  for (char c : ansi) {
    if (static_cast<unsigned char>(c) >= 0x80) { ascii = false; break; }
  }
  if (ascii) return std::string(ansi);
  UConverter* conv = AnsiConverter();
  if (conv == nullptr) return std::string(ansi);
  ucnv_reset(conv);
  std::vector<UChar> wide(ansi.size() + 1);
  UErrorCode status = U_ZERO_ERROR;
  int32_t wlen = ucnv_toUChars(conv, wide.data(), static_cast<int32_t>(wide.size()), ansi.data(),
                               static_cast<int32_t>(ansi.size()), &status);
  if (U_FAILURE(status)) return std::string();
  out.resize(static_cast<size_t>(wlen) * 3 + 1);
  int32_t olen = 0;
  status = U_ZERO_ERROR;
  u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &olen, wide.data(), wlen, &status);
  if (U_FAILURE(status)) return std::string();
  out.resize(static_cast<size_t>(olen));
  return out;
}

namespace {

struct SubstituteContext {
  char substitute;
  bool substituted;
};

// Writes the caller's substitute byte for every unmappable code point and
// remembers that the text did not convert completely.
void SubstituteCallback(const void* context, UConverterFromUnicodeArgs* args, const UChar*, int32_t,
                        UChar32, UConverterCallbackReason reason, UErrorCode* status) {
  if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) return;
  auto* ctx = static_cast<SubstituteContext*>(const_cast<void*>(context));
  ctx->substituted = true;
  *status = U_ZERO_ERROR;
  ucnv_cbFromUWriteBytes(args, &ctx->substitute, 1, 0, status);
}

}  // namespace

bool Utf8ToAnsi(std::string_view utf8, std::string& out, char substitute) {
  out.clear();
  bool ascii = true;
  for (char c : utf8) {
    if (static_cast<unsigned char>(c) >= 0x80) { ascii = false; break; }
  }
  if (ascii) {
    out.assign(utf8);
    return true;
  }
  UConverter* conv = AnsiConverter();
  if (conv == nullptr) {
    out.assign(utf8.size(), substitute);
    return false;
  }
  std::vector<UChar> wide(utf8.size() + 1);
  int32_t wlen = 0;
  int32_t invalid = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(wide.data(), static_cast<int32_t>(wide.size()), &wlen, utf8.data(),
                       static_cast<int32_t>(utf8.size()), 0xFFFD, &invalid, &status);
  if (U_FAILURE(status)) {
    out.assign(utf8.size(), substitute);
    return false;
  }
  SubstituteContext ctx{substitute, false};
  ucnv_reset(conv);
  status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(conv, SubstituteCallback, &ctx, nullptr, nullptr, &status);
  out.resize(static_cast<size_t>(wlen) * 2 + 8);
  status = U_ZERO_ERROR;
  int32_t n = ucnv_fromUChars(conv, out.data(), static_cast<int32_t>(out.size()), wide.data(), wlen,
                              &status);
  if (U_FAILURE(status)) {
    out.assign(utf8.size(), substitute);
    return false;
  }
  out.resize(static_cast<size_t>(n));
  return !ctx.substituted && invalid == 0;
}

std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t start = i;
    char32_t cp = 0;
    if (NextCodePoint(text, i, cp)) {
      out.append(text.substr(start, i - start));
    } else {
      out += "\xEF\xBF\xBD";  // U+FFFD for the bad byte
      i = start + 1;
    }
  }
  return out;
}

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  char32_t cp;
  while (i < text.size()) {
    if (!NextCodePoint(text, i, cp)) return false;
  }
  return true;
}

size_t Utf8Length(std::string_view utf8) {
  size_t n = 0;
  for (char c : utf8) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  }
  return n;
}

std::string_view Utf8Prefix(std::string_view utf8, size_t count) {
  size_t seen = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
      if (seen == count) return utf8.substr(0, i);
      ++seen;
    }
  }
  return utf8;
}

}  // namespace edi
