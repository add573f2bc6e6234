#include "cii/ansi_text.h"

#include <gtest/gtest.h>

namespace edi::cii {
namespace {

TEST(AnsiText, ByteLengthsCountWindows31JBytes) {
  EXPECT_EQ(AnsiByteLength("ｱA亜"), 4);
  EXPECT_EQ(AnsiByteLength("①～"), 4);
  EXPECT_EQ(AnsiByteLength(""), 0);
  // A text that does not round-trip counts its UTF-16 code units twice.
  EXPECT_FALSE(RoundTripsToAnsi("A😀"));
  EXPECT_EQ(AnsiByteLength("A😀"), 6);
  EXPECT_TRUE(RoundTripsToAnsi("ｱA亜①"));
}

TEST(AnsiText, CutsByBytes) {
  EXPECT_EQ(AnsiLeftBytes("AB亜C", 4), "AB亜");
  EXPECT_EQ(AnsiLeftBytes("AB亜C", 3), "AB\xEF\xBF\xBD");  // a cut inside a character
  EXPECT_EQ(AnsiMidBytes("AB亜C", 3, 2), "亜");
  EXPECT_EQ(AnsiMidBytes("AB亜C", 3), "亜C");
  EXPECT_EQ(AnsiMidBytes("AB", 5), "");
  EXPECT_EQ(AnsiMidBytes("AB", 0), std::nullopt);
  EXPECT_EQ(CutAnsiBytes("AB\x88\x9F" "C", 3), "AB");
  EXPECT_EQ(CutAnsiBytes("AB\x88\x9F" "C", 4), "AB\x88\x9F");
  EXPECT_EQ(CutAnsiBytes("AB", 9), "AB");
}

TEST(AnsiText, PutFieldAtOverwritesExactlyItsLength) {
  std::string record = "abcdef";
  PutFieldAt(record, 3, "XY");
  EXPECT_EQ(record, "abXYef");
  PutFieldAt(record, 6, "\x88\x9F");
  EXPECT_EQ(record, "abXYe\x88\x9F");
  PutFieldAt(record, 10, "Z");
  EXPECT_EQ(record, "abXYe\x88\x9F  Z");
}

}  // namespace
}  // namespace edi::cii
