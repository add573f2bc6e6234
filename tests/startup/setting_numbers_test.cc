#include "startup/setting_numbers.h"

#include <gtest/gtest.h>

namespace edi {
namespace {

TEST(SettingNumbers, DecimalHexAndFailures) {
  EXPECT_EQ(ParseSettingNumber(" 16777215 "), 16777215.0);
  EXPECT_EQ(ParseSettingNumber("-2147483633"), -2147483633.0);
  EXPECT_EQ(ParseSettingNumber("1.5"), 1.5);
  EXPECT_EQ(ParseSettingNumber("&H8000000F"), -2147483633.0);
  EXPECT_EQ(ParseSettingNumber(""), std::nullopt);
  EXPECT_EQ(ParseSettingNumber("red"), std::nullopt);
  EXPECT_EQ(ParseSettingNumber("12abc"), std::nullopt);
}

TEST(SettingNumbers, SixteenBitRange) {
  EXPECT_EQ(ParseSettingInt16("32767"), 32767);
  EXPECT_EQ(ParseSettingInt16("-32768"), -32768);
  EXPECT_EQ(ParseSettingInt16("2.5"), 2);  // halves to even
  EXPECT_EQ(ParseSettingInt16("40000"), std::nullopt);
  EXPECT_EQ(ParseSettingInt16("-32769"), std::nullopt);
  EXPECT_EQ(ParseSettingInt16(""), std::nullopt);
}

}  // namespace
}  // namespace edi
