#include "cii/full_width.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <array>

namespace edi::cii {
namespace {

constexpr char32_t kFirstHalfWidth = 0xFF61;  // "｡", the first <narrow> form
constexpr char32_t kLastHalfWidth = 0xFFEE;
constexpr char32_t kVoicedMark = 0xFF9E, kSemiVoicedMark = 0xFF9F;

// The full-width form of each character that has one, read once from
// ICU's character properties (a few hundred lookups, no transliterator).
struct WideForms {
  std::array<char32_t, 0x100> latin{};  // ASCII, the space and the Latin-1 signs
  std::array<char32_t, kLastHalfWidth - kFirstHalfWidth + 1> halfWidth{};
  char32_t won = 0;                     // "₩"
  const icu::Normalizer2* nfc = nullptr;

  WideForms() {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfkd = icu::Normalizer2::getNFKDInstance(status);
    nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return;
    Add(*nfkd, 0x3000);
    for (char32_t c = 0xFF01; c <= kLastHalfWidth; ++c) Add(*nfkd, c);
  }

  void Add(const icu::Normalizer2& nfkd, char32_t c) {
    icu::UnicodeString mapping;
    if (!nfkd.getRawDecomposition(static_cast<UChar32>(c), mapping) || mapping.countChar32() != 1) return;
    const auto to = static_cast<char32_t>(mapping.char32At(0));
    const auto type = u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_DECOMPOSITION_TYPE);
    if (type == U_DT_WIDE) {
      if (to < latin.size()) latin[to] = c;
      else if (to == 0x20A9) won = c;
    } else if (type == U_DT_NARROW && c >= kFirstHalfWidth && !(c >= 0xFFA0 && c <= 0xFFDC)) {  // Hangul stays
      halfWidth[c - kFirstHalfWidth] = to;
    }
  }

  char32_t Of(char32_t c) const {
    char32_t wide = 0;
    if (c < latin.size()) wide = latin[c];
    else if (c >= kFirstHalfWidth && c <= kLastHalfWidth) wide = halfWidth[c - kFirstHalfWidth];
    else if (c == 0x20A9) wide = won;
    return wide != 0 ? wide : c;
  }
};

const WideForms& Forms() {
  static const WideForms forms;
  return forms;
}

// The code point at `at` (advanced past it); a byte that starts no valid
// UTF-8 sequence comes back as itself with `valid` false.
char32_t NextCodePoint(std::string_view text, size_t& at, bool& valid) {
  const auto b = static_cast<unsigned char>(text[at]);
  const size_t length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
  valid = length != 0 && at + length <= text.size();
  if (!valid) {
    ++at;
    return b;
  }
  char32_t c = length == 1 ? b : b & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) c = c << 6 | (static_cast<unsigned char>(text[at + i]) & 0x3F);
  at += length;
  return c;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | c >> 6));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | c >> 12));
    out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | c >> 18));
    out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// The spacing form of a combining sound mark; any other character as is.
char32_t Spacing(char32_t c) { return c == 0x3099 ? 0x309B : c == 0x309A ? 0x309C : c; }

}  // namespace

std::string ToFullWidth(std::string_view text) {
  const WideForms& forms = Forms();
  std::string out;
  out.reserve(text.size() * 3);
  char32_t pending = 0;  // the last character, while a sound mark may still join it
  auto flush = [&] {
    if (pending != 0) AppendUtf8(out, Spacing(pending));
    pending = 0;
  };
  for (size_t at = 0; at < text.size();) {
    bool valid = true;
    const char32_t c = NextCodePoint(text, at, valid);
    if (!valid) {
      flush();
      out.push_back(static_cast<char>(c));
      continue;
    }
    const char32_t wide = forms.Of(c);
    if ((c == kVoicedMark || c == kSemiVoicedMark) && pending != 0 && forms.nfc != nullptr) {
      const UChar32 joined = forms.nfc->composePair(static_cast<UChar32>(pending), static_cast<UChar32>(wide));
      if (joined >= 0) {
        AppendUtf8(out, static_cast<char32_t>(joined));
        pending = 0;
        continue;
      }
    }
    flush();
    // Only a kana that was half-width takes a half-width sound mark.
    if (c >= kFirstHalfWidth && c <= kLastHalfWidth && wide != c) pending = wide;
    else AppendUtf8(out, Spacing(wide));
  }
  flush();
  return out;
}

}  // namespace edi::cii
