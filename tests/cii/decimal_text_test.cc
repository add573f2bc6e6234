#include "cii/decimal_text.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace edi::cii
