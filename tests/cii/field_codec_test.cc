#include "cii/field_codec.h"

#include <gtest/gtest.h>
#include <unicode/translit.h>

#include <array>
#include <memory>

#include "cii/ansi_text.h"

namespace edi::cii {
namespace {

std::string Bytes(std::span<const uint8_t> field) {
  return std::string(reinterpret_cast<const char*>(field.data()), field.size());
}

TEST(StoreMixedText, StoresBytesPadsAndReportsTheMask) {
  std::array<uint8_t, 5> field;
  EXPECT_EQ(StoreMixedText(field, "A亜"), 3);
  EXPECT_EQ(Bytes(field), "A\x88\x9F  ");
  EXPECT_EQ(StoreMixedText(field, ""), 0);
  EXPECT_EQ(Bytes(field), "     ");
  EXPECT_EQ(StoreMixedText(field, "ABCDEFG"), 1);
  EXPECT_EQ(Bytes(field), "ABCDE");
  EXPECT_EQ(StoreMixedText(field, "亜亜"), 2);
  EXPECT_EQ(Bytes(field), "\x88\x9F\x88\x9F ");
}

TEST(StoreMixedText, NeverWritesOutsideTheField) {
  std::array<uint8_t, 7> buffer;
  buffer.fill('#');
  std::span<uint8_t> field(buffer.data() + 1, 5);
  // The third kanji would start at the last byte: a space takes its place.
  StoreMixedText(field, "亜亜亜");
  EXPECT_EQ(Bytes(buffer), "#\x88\x9F\x88\x9F #");
  std::string text = "ABC";
  StoreWideText(field, text);  // widened to six bytes
  EXPECT_EQ(text, "ＡＢＣ");
  EXPECT_EQ(Bytes(buffer), "#\x82\x60\x82\x61 #");
}

TEST(ToFullWidth, WidensAsciiSpaceAndKatakana) {
  EXPECT_EQ(ToFullWidth("Ab 1"), "Ａｂ　１");
  EXPECT_EQ(ToFullWidth("ｱｲ"), "アイ");
  EXPECT_EQ(ToFullWidth("漢字"), "漢字");
  // Text that is wide already comes back as it is; a half-width form among
  // wide characters is still widened.
  EXPECT_EQ(ToFullWidth("日本ＡＢ①〓"), "日本ＡＢ①〓");
  EXPECT_EQ(ToFullWidth("日本ｱ"), "日本ア");
  EXPECT_EQ(ToFullWidth("矢印\uFFE9"), "矢印←");
  EXPECT_EQ(ToFullWidth("漢 字"), "漢　字");
  EXPECT_EQ(ToFullWidth("ﾞｶﾞﾟ"), "゛ガ゜") << "a sound mark that joins no kana: the spacing mark";
  EXPECT_EQ(ToFullWidth("ｳﾞﾊﾟｶﾟ\xFF"), "ヴパカ゜\xFF") << "bytes that are no UTF-8 stay";
}

// The widening gives what ICU's Halfwidth-Fullwidth transliterator (with
// the spacing sound marks) gives: every character alone, and every
// character before a sound mark and a following character.
TEST(ToFullWidth, AgreesWithTheHalfwidthFullwidthTransliterator) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Transliterator> icuWiden(
      icu::Transliterator::createInstance("Halfwidth-Fullwidth", UTRANS_FORWARD, status));
  ASSERT_TRUE(U_SUCCESS(status));
  auto expected = [&](icu::UnicodeString s) {
    icuWiden->transliterate(s);
    s.findAndReplace(icu::UnicodeString(UChar32{0x3099}), icu::UnicodeString(UChar32{0x309B}));
    s.findAndReplace(icu::UnicodeString(UChar32{0x309A}), icu::UnicodeString(UChar32{0x309C}));
    std::string out;
    return s.toUTF8String(out);
  };
  int differences = 0;
  auto check = [&](const icu::UnicodeString& s) {
    const UChar32 first = s.char32At(0);
    if ((first >= 0xFFA0 && first <= 0xFFDC) || first == 0x2985 || first == 0x2986) return;  // stay as they are
    std::string text;
    s.toUTF8String(text);
    if (ToFullWidth(text) != expected(s) && ++differences < 10) ADD_FAILURE() << text;
  };
  for (UChar32 c = 1; c <= 0xFFFF; ++c) {
    if (U_IS_SURROGATE(c)) continue;
    check(icu::UnicodeString(c));
    if ((c > 0x7F && c < 0x3000) || (c > 0x30FF && c < 0xFF00)) continue;  // kana, the sound marks and the forms
    for (UChar32 mark : {0xFF9E, 0xFF9F, 0x3099, 0x309A}) {
      for (UChar32 next : {0x41, 0xFF76, 0xFF9E}) check(icu::UnicodeString(c).append(mark).append(next));
    }
  }
  EXPECT_EQ(differences, 0);
}

// What is no Windows-31J character in a double-byte field becomes the geta
// mark "〓" in both directions, logged (mended) once: mended bytes stay.
TEST(BrokenCharacters, BecomeTheGetaMarkOnce) {
  EXPECT_EQ(MendBrokenCharacters("\x87" "0"), "\x81\xAC" "0");  // a lead byte before a byte no pair ends with
  EXPECT_EQ(MendBrokenCharacters("\x87\x40\x81"), "\x87\x40\x81\xAC");  // a lead byte at the end
  EXPECT_EQ(MendBrokenCharacters("\x85\x40" "A\xA0"), "\x81\xAC" "A\x81\xAC");  // codes no character has
  EXPECT_EQ(MendBrokenCharacters("\x88\x9F" "A\xB1 "), std::nullopt);
  bool mended = false;
  std::string storage;
  EXPECT_EQ(WidenAnsiField("\x87" "0", 'M', storage, mended), "\x81\xAC\x82\x4F");  // local to CII
  EXPECT_TRUE(mended);
  EXPECT_EQ(WidenAnsiField("\x81\xAC\x82\x4F", 'M', storage, mended), "\x81\xAC\x82\x4F");
  EXPECT_FALSE(mended);
  // CII to local, in every double-byte code
  EXPECT_EQ(AnsiDoubleBytes("\x88\x9F\x81", 'M', storage, mended), "\x88\x9F\x81\xAC");
  EXPECT_TRUE(mended);
  EXPECT_EQ(AnsiDoubleBytes("\x30\x21\x30", 'S', storage, mended), "\x88\x9F\x81\xAC");
  EXPECT_EQ(AnsiDoubleBytes(std::string("\x4E\x9C\xD8\x3D\xDE\x00", 6), 'U', storage, mended), "\x88\x9F\x81\xAC");
  EXPECT_EQ(AnsiDoubleBytes("\x88\x9F", 'M', storage, mended), "\x88\x9F");
  EXPECT_FALSE(mended);
}

TEST(Decoders, NeverReadPastTheElement) {
  EXPECT_EQ(DecodeSingleByteField("A\x88\x9F"), "A亜");
  EXPECT_EQ(DecodeSingleByteField("A\x88"), "A\xEF\xBF\xBD");
  EXPECT_EQ(DecodeSingleByteField("\xB1" "1"), "ｱ1");
  EXPECT_EQ(DecodeDoubleByteField("\x88\x9F\x88", "MM"), "亜\xEF\xBF\xBD");
  EXPECT_EQ(DecodeDoubleByteField("\x30\x21\x30", "SM"), "亜\xEF\xBF\xBD");
  EXPECT_EQ(FieldText(std::array<uint8_t, 4>{'A', 0x88, 0x9F, ' '}), "A亜 ");
}

TEST(Decoders, KeysChooseInputCodingAndResultForm) {
  EXPECT_EQ(DecodeDoubleByteField("\x88\x9F", "MM"), "亜");
  EXPECT_EQ(DecodeDoubleByteField("\x30\x21", "SM"), "亜");
  EXPECT_EQ(DecodeDoubleByteField("\x30\x21", "SU"), "亜");
  EXPECT_EQ(DecodeDoubleByteField("\x4E\x9C", "UM"), "亜");
  EXPECT_EQ(DecodeDoubleByteField("\x88\x9F", "MS"), "0!");
  EXPECT_EQ(DecodeDoubleByteField("\x88\x9F", "MU"), "亜");
}

TEST(JisPairs, RowCellConversions) {
  EXPECT_EQ(JisPairsToShiftJis("\x30\x21"), "亜");
  EXPECT_EQ(ShiftJisToJisPairs("亜"), "0!");
  EXPECT_EQ(ShiftJisToJisPairs("Aｱ亜"), "Aｱ0!");
  EXPECT_EQ(EncodeDoubleBytes("亜", 'S'), "\x30\x21");
  EXPECT_EQ(EncodeDoubleBytes("亜", 'U'), "\x4E\x9C");
  EXPECT_EQ(EncodeDoubleBytes("亜", 'M'), "\x88\x9F");
}

// Every two-byte character of JIS X 0208 rows 1 to 84 survives the trip
// through its JIS pair, UTF-16 and Shift_JIS codings.
TEST(JisPairs, EveryJisX0208CharacterRoundTrips) {
  int checked = 0;
  for (int row = 0x21; row <= 0x74; ++row) {
    for (int cell = 0x21; cell <= 0x7E; ++cell) {
      const std::string pair{static_cast<char>(row), static_cast<char>(cell)};
      const std::string text = JisPairsToShiftJis(pair);
      if (text == "\xEF\xBF\xBD" || !RoundTripsToAnsi(text)) continue;  // unassigned
      // Characters with two codes (NEC and JIS rows) may come back under the
      // other code; the character itself must survive.
      ASSERT_EQ(JisPairsToShiftJis(EncodeDoubleBytes(text, 'S')), text) << row << "," << cell;
      ASSERT_EQ(DecodeDoubleBytes(EncodeDoubleBytes(text, 'U'), 'U'), text);
      ASSERT_EQ(DecodeDoubleBytes(EncodeDoubleBytes(text, 'M'), 'M'), text);
      ++checked;
    }
  }
  EXPECT_GT(checked, 6800);
}

}  // namespace
}  // namespace edi::cii
