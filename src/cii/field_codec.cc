#include "cii/field_codec.h"

#include <unicode/unistr.h>

#include <memory>
#include <vector>

#include "base/ansi_codec.h"
#include "cii/ansi_text.h"

namespace edi::cii {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// Windows-31J decoding pair by pair: the bytes of each pair together, a
// lone last byte as U+FFFD.
std::string DecodeAnsiPairs(std::string_view bytes) {
  const size_t whole = bytes.size() & ~size_t{1};
  std::string text;
  size_t i = 0;
  while (i < whole) {
    // Runs of pairs that start with a lead byte or hold two one-byte
    // characters decode the same as a stream; only a pair whose first byte is
    // one-byte and second a lead byte must be split.
    size_t j = i;
    while (j < whole && !(IsLeadByte(static_cast<unsigned char>(bytes[j + 1])) &&
                          !IsLeadByte(static_cast<unsigned char>(bytes[j])))) {
      j += 2;
    }
    text += FromAnsiBytes(bytes.substr(i, j - i));
    if (j < whole) {
      text += FromAnsiBytes(bytes.substr(j, 1));
      text += FromAnsiBytes(bytes.substr(j + 1, 1));
      j += 2;
    }
    i = j;
  }
  if (bytes.size() % 2 != 0) text += kReplacement;
  return text;
}

std::string DecodeUtf16Be(std::string_view bytes) {
  icu::UnicodeString s;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    s.append(static_cast<char16_t>((static_cast<unsigned char>(bytes[i]) << 8) |
                                   static_cast<unsigned char>(bytes[i + 1])));
  }
  std::string text;
  s.toUTF8String(text);
  if (bytes.size() % 2 != 0) text += kReplacement;
  return text;
}

std::string EncodeUtf16Be(std::string_view text) {
  icu::UnicodeString s = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  std::string bytes;
  for (int32_t i = 0; i < s.length(); ++i) {
    bytes.push_back(static_cast<char>(s.charAt(i) >> 8));
    bytes.push_back(static_cast<char>(s.charAt(i) & 0xFF));
  }
  return bytes;
}

// One Shift_JIS code pair to its JIS X 0208 pair.
void SjisToJis(unsigned hi, unsigned lo, std::string& out) {
  hi = hi > 159 ? hi - 177 : hi - 113;
  hi = hi * 2 + 1;
  if (lo > 127) lo -= 1;
  if (lo < 158) {
    lo -= 31;
  } else {
    lo -= 125;
    hi += 1;
  }
  out.push_back(static_cast<char>(hi & 0xFF));
  out.push_back(static_cast<char>(lo & 0xFF));
}

// The Shift_JIS bytes of a text turned into JIS pairs (one-byte characters
// unchanged).
std::string AnsiToJisBytes(std::string_view ansi) {
  std::string out;
  for (size_t i = 0; i < ansi.size();) {
    const auto b = static_cast<unsigned char>(ansi[i]);
    if (IsLeadByte(b) && i + 1 < ansi.size()) {
      SjisToJis(b, static_cast<unsigned char>(ansi[i + 1]), out);
      i += 2;
    } else {
      out.push_back(static_cast<char>(b));
      i += 1;
    }
  }
  return out;
}

std::string JisToAnsiBytes(std::string_view pairs) {
  std::string out;
  for (size_t i = 0; i + 1 < pairs.size(); i += 2) {
    unsigned j1 = static_cast<unsigned char>(pairs[i]);
    unsigned j2 = static_cast<unsigned char>(pairs[i + 1]);
    if (j1 % 2 == 0) {
      j1 -= 1;
      j2 += 125;
    } else {
      j2 += 31;
    }
    if (j2 > 126) j2 += 1;
    j1 = (j1 - 33) / 2 + 129;
    if (j1 > 159) j1 += 64;
    out.push_back(static_cast<char>(j1 & 0xFF));
    out.push_back(static_cast<char>(j2 & 0xFF));
  }
  return out;
}

}  // namespace

int StoreMixedBytes(std::span<uint8_t> field, std::string_view bytes) {
  int mask = 0;
  size_t i = 0;
  size_t j = 0;
  while (i < field.size()) {
    if (j >= bytes.size()) {
      field[i++] = ' ';
      continue;
    }
    const auto b = static_cast<unsigned char>(bytes[j]);
    if (IsLeadByte(b) && j + 1 < bytes.size()) {
      if (i + 1 < field.size()) {
        field[i] = b;
        field[i + 1] = static_cast<unsigned char>(bytes[j + 1]);
        i += 2;
        mask |= kMaskDoubleByte;
      } else {
        field[i++] = ' ';  // the character does not fit into the last byte
      }
      j += 2;
    } else {
      field[i++] = b;
      j += 1;
      mask |= kMaskSingleByte;
    }
  }
  return mask;
}

int StoreMixedText(std::span<uint8_t> field, std::string_view text) {
  return StoreMixedBytes(field, ToAnsiBytes(text));
}


namespace {

// True when `text` is exactly one character other than U+FFFD.
bool OneCharacter(const std::string& text) {
  if (text.empty() || text == kReplacement) return false;
  const auto b = static_cast<unsigned char>(text[0]);
  const size_t length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
  return text.size() == length;
}

// Calls `each` with every Windows-31J pair, its code (lead << 8 | trail)
// and its text.
template <typename Each>
void ForEveryPair(Each each) {
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (!IsTrailByte(static_cast<unsigned char>(trail))) continue;
      const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      const std::string_view bytes(pair, 2);
      each(bytes, static_cast<size_t>(lead << 8 | trail), FromAnsiBytes(bytes));
    }
  }
}

// For every Windows-31J code (a single byte, or lead << 8 | trail for a
// pair): true when a character has it. Worked out once by decoding each.
const std::vector<bool>& CharacterCodes() {
  static const std::vector<bool> table = [] {
    std::vector<bool> character(0x10000, false);
    for (int b = 0; b < 0x100; ++b) {
      if (IsLeadByte(static_cast<unsigned char>(b))) continue;
      character[static_cast<size_t>(b)] = OneCharacter(FromAnsiBytes(std::string(1, static_cast<char>(b))));
    }
    ForEveryPair([&](std::string_view, size_t code, const std::string& text) { character[code] = OneCharacter(text); });
    return character;
  }();
  return table;
}

// For every double-byte Windows-31J code: true when decoding, widening and
// encoding it in the "M" code gives the same two bytes back. Unassigned
// codes and the duplicates of the extension rows are false.
const std::vector<bool>& WideIdentityCodes() {
  static const std::vector<bool> table = [] {
    std::vector<bool> identity(0x10000, false);
    ForEveryPair([&](std::string_view bytes, size_t code, const std::string& text) {
      identity[code] = EncodeDoubleBytes(ToFullWidth(text), 'M') == bytes;
    });
    return identity;
  }();
  return table;
}

bool AllWideIdentity(std::string_view bytes) {
  if (bytes.size() % 2 != 0) return false;
  const auto& identity = WideIdentityCodes();
  for (size_t i = 0; i < bytes.size(); i += 2) {
    const auto code = static_cast<size_t>(static_cast<unsigned char>(bytes[i]) << 8 | static_cast<unsigned char>(bytes[i + 1]));
    if (!identity[code]) return false;
  }
  return true;
}

// The length of the character at `at` (1 or 2), or 0 when the bytes there
// are no character; `length` is then the number of bytes the geta mark
// takes the place of.
size_t CharacterAt(std::string_view bytes, size_t at, size_t& length) {
  const auto b = static_cast<unsigned char>(bytes[at]);
  const auto& character = CharacterCodes();
  if (b < 0x80) return length = 1;  // ASCII: every byte a character
  if (!IsLeadByte(b)) {
    length = 1;
    return character[b] ? 1 : 0;
  }
  if (at + 1 >= bytes.size() || !IsTrailByte(static_cast<unsigned char>(bytes[at + 1]))) {
    length = 1;  // a lone lead byte
    return 0;
  }
  length = 2;
  return character[static_cast<size_t>(b << 8 | static_cast<unsigned char>(bytes[at + 1]))] ? 2 : 0;
}

}  // namespace

std::optional<std::string> MendBrokenCharacters(std::string_view bytes) {
  size_t at = 0, length = 0;
  while (at < bytes.size() && CharacterAt(bytes, at, length) != 0) at += length;
  if (at == bytes.size()) return std::nullopt;
  std::string mended(bytes.substr(0, at));
  while (at < bytes.size()) {
    if (CharacterAt(bytes, at, length) != 0) {
      mended.append(bytes.substr(at, length));
    } else {
      mended.append(kGetaMark);
    }
    at += length;
  }
  return mended;
}

bool ReplaceOutsideAnsi(std::string& text) {
  std::string ansi;
  if (Utf8ToAnsi(text, ansi)) return false;  // U+FFFD is not Windows-31J either
  std::string out;
  bool replaced = false;
  size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    const size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    const std::string_view ch = std::string_view(text).substr(i, len);
    if (!Utf8ToAnsi(ch, ansi)) {
      out += "\u3013";  // the geta mark
      replaced = true;
    } else {
      out += ch;
    }
    i += len;
  }
  text.swap(out);
  return replaced;
}

std::string_view WidenAnsiField(std::string_view ansiBytes, char code, std::string& storage, bool& mended) {
  mended = false;
  // Wide identity codes are characters, so such a field has nothing to mend.
  if (code == 'M' && AllWideIdentity(ansiBytes)) return ansiBytes;
  std::optional<std::string> whole = MendBrokenCharacters(ansiBytes);
  mended = whole.has_value();
  const std::string_view bytes = whole ? std::string_view(*whole) : ansiBytes;
  if (code == 'M' && AllWideIdentity(bytes)) {
    storage = std::move(*whole);
    return storage;
  }
  // Whatever the widening made that Windows-31J lacks falls under the same
  // rule as a broken character.
  std::string wide = ToFullWidth(FromAnsiBytes(bytes));
  if (ReplaceOutsideAnsi(wide)) mended = true;
  storage = EncodeDoubleBytes(wide, code);
  return storage;
}

std::string_view AnsiDoubleBytes(std::string_view element, char code, std::string& storage, bool& mended) {
  mended = false;
  if (code != 'M' && code != ' ') {
    std::string text = DecodeDoubleBytes(element, code);
    mended = ReplaceOutsideAnsi(text);
    storage = ToAnsiBytes(text);
    return storage;
  }
  std::optional<std::string> whole = MendBrokenCharacters(element);
  if (!whole) return element;
  mended = true;
  storage = std::move(*whole);
  return storage;
}

void StoreWideText(std::span<uint8_t> field, std::string& text) {
  text = ToFullWidth(text);
  StoreMixedText(field, text);
}

std::string FieldText(std::span<const uint8_t> field) {
  return FromAnsiBytes(std::string_view(reinterpret_cast<const char*>(field.data()), field.size()));
}

std::string DecodeSingleByteField(std::string_view bytes, std::string_view) { return FromAnsiBytes(bytes); }

std::string DecodeDoubleBytes(std::string_view bytes, char code) {
  switch (code) {
    case 'S': return JisPairsToShiftJis(bytes);
    case 'U': return DecodeUtf16Be(bytes);
    default: return DecodeAnsiPairs(bytes);
  }
}

std::string EncodeDoubleBytes(std::string_view text, char code) {
  switch (code) {
    case 'S': return AnsiToJisBytes(ToAnsiBytes(text));
    case 'U': return EncodeUtf16Be(text);
    default: return ToAnsiBytes(text);
  }
}

std::string DecodeDoubleByteField(std::string_view bytes, std::string_view key) {
  const char from = key.size() > 0 ? key[0] : 'M';
  const char to = key.size() > 1 ? key[1] : 'M';
  std::string text = DecodeDoubleBytes(bytes, from);
  return to == 'S' ? ShiftJisToJisPairs(text) : text;
}

std::string JisPairsToShiftJis(std::string_view pairs) {
  std::string text = FromAnsiBytes(JisToAnsiBytes(pairs));
  if (pairs.size() % 2 != 0) text += kReplacement;
  return text;
}

std::string ShiftJisToJisPairs(std::string_view text) {
  // JIS pairs are ASCII bytes, so the converted bytes decode as one text in
  // which one-byte characters (half-width katakana too) keep their form.
  return FromAnsiBytes(AnsiToJisBytes(ToAnsiBytes(text)));
}

}  // namespace edi::cii
