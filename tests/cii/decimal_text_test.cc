#include "cii/decimal_text.h"

#include <gtest/gtest.h>

#include <random>

namespace edi::cii {
namespace {

TEST(DecimalText, ParsesDigitTextsExactly) {
  auto v = ParseDecimal("  -0012.3400 ");
  ASSERT_TRUE(v);
  EXPECT_TRUE(v->negative);
  EXPECT_EQ(v->integer, "12");
  EXPECT_EQ(v->fraction, "34");
  EXPECT_TRUE(ParseDecimal("   ")->IsZero());
  EXPECT_FALSE(ParseDecimal("-0")->negative) << "zero has no sign";
  for (const char* bad : {"1e3", "12,5", ".", "+", "1.2.3", "12ABCD"}) EXPECT_FALSE(ParseDecimal(bad)) << bad;
  // Implied decimals: the last digits are the fraction.
  v = ParseDecimal("5", 2);
  EXPECT_EQ(GeneralNumber(*v), "0.05");
  EXPECT_EQ(GeneralNumber(*ParseDecimal("12345", 2)), "123.45");
  EXPECT_EQ(GeneralNumber(*ParseDecimal("12345678901234567.8")), "12345678901234567.8");
}

TEST(DecimalText, ScalingRoundsTowardsMinusInfinity) {
  EXPECT_EQ(ScaledInteger(*ParseDecimal("1.15"), 2), "115");
  EXPECT_EQ(ScaledInteger(*ParseDecimal("1.159"), 2), "115");
  EXPECT_EQ(ScaledInteger(*ParseDecimal("-1.151"), 2), "-116");
  EXPECT_EQ(ScaledInteger(*ParseDecimal("-1.15"), 2), "-115");
  EXPECT_EQ(ScaledInteger(*ParseDecimal("0.001"), 2), "0");
  EXPECT_EQ(ScaledInteger(*ParseDecimal("99.999"), 0), "99");
}

TEST(DecimalText, LayoutFillsTheFieldOrRefuses) {
  EXPECT_EQ(LayoutDecimal(*ParseDecimal("123.45"), 5, 2), "00123.45");
  EXPECT_EQ(LayoutDecimal(*ParseDecimal("-3.1"), 4, 1), "-003.1");
  EXPECT_EQ(LayoutDecimal(*ParseDecimal("7"), 3, 0), "007");
  EXPECT_FALSE(LayoutDecimal(*ParseDecimal("1234"), 3, 0)) << "more integer digits than the field";
  EXPECT_FALSE(LayoutDecimal(*ParseDecimal("-100"), 3, 0)) << "the sign takes a digit";
}

TEST(DecimalText, TwoDigitYearsTakeTheirCentury) {
  EXPECT_EQ(WithCentury("991231"), "19991231");
  EXPECT_EQ(WithCentury("500101"), "20500101");
  EXPECT_EQ(WithCentury("510101"), "19510101");
  EXPECT_EQ(WithCentury("000000"), "20000000");
  EXPECT_EQ(WithCentury("1231"), "1231");
  EXPECT_EQ(WithCentury("20261208"), "20261208");
}

// The plain-number fast path must give what the general path gives, for
// every text it takes on.
TEST(DecimalText, PlainScalingAgreesWithTheGeneralPath) {
  std::mt19937 random(11);
  const std::string alphabet = "0123456789. -+\t";
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    const int length = static_cast<int>(random() % 10);
    for (int c = 0; c < length; ++c) {
      text += random() % 4 == 0 ? alphabet[random() % alphabet.size()] : static_cast<char>('0' + random() % 10);
    }
    const int localDecimals = static_cast<int>(random() % 4), ciiDecimals = static_cast<int>(random() % 4);
    std::string storage;
    std::string_view fast;
    bool tooMany = false;
    if (!ScalePlainDecimal(text, localDecimals, ciiDecimals, storage, fast, tooMany)) continue;
    const auto general = ParseDecimal(text);
    ASSERT_TRUE(general) << "'" << text << "'";
    ASSERT_EQ(tooMany, general->fraction.size() > static_cast<size_t>(localDecimals)) << "'" << text << "'";
    if (tooMany) continue;
    ASSERT_EQ(fast, general->IsZero() ? "" : ScaledInteger(*general, ciiDecimals)) << "'" << text << "'";
  }
  std::string storage;
  std::string_view out;
  bool tooMany = false;
  EXPECT_FALSE(ScalePlainDecimal("-12.5", 2, 2, storage, out, tooMany));
  EXPECT_FALSE(ScalePlainDecimal("1 2", 2, 2, storage, out, tooMany));
  EXPECT_TRUE(ScalePlainDecimal(" 00123.40", 2, 3, storage, out, tooMany));
  EXPECT_EQ(out, "123400");
}

}  // namespace
}  // namespace edi::cii
