#include "startup/common_routines.h"

#include <gtest/gtest.h>

namespace edi {
namespace {

TEST(PadCentre, FillsToTwelveAndReplacesEveryBlank) {
  EXPECT_EQ(PadCentre("AB C"), "AB_C________");
  EXPECT_EQ(PadCentre("ABCDEFGHIJKL"), "ABCDEFGHIJKL");
  EXPECT_EQ(PadCentre("ABCDEFGHIJ L"), "ABCDEFGHIJ_L");
  EXPECT_EQ(PadCentre(""), "____________");
  EXPECT_EQ(PadCentre("センター"), "センター________");
}

TEST(NullHandling, TrimmedAndUnchanged) {
  EXPECT_EQ(NullToTrimmed(std::string("  abc  "), "x"), "abc");
  EXPECT_EQ(NullToTrimmed(std::nullopt, ""), "");
  EXPECT_EQ(NullToTrimmed(std::nullopt, "d"), "d");
  EXPECT_EQ(NullToDefault(std::string("  abc "), "x"), "  abc ");
  EXPECT_EQ(NullToDefault(std::nullopt, "x"), "x");
}

TEST(MatchPattern, SearchesAnywhereIgnoringCase) {
  EXPECT_TRUE(MatchPattern("A.XML", "zzA1XMLzz"));
  EXPECT_TRUE(MatchPattern("A.XML", "a.xml"));
  EXPECT_FALSE(MatchPattern("A.XML", "AXML"));
  EXPECT_TRUE(MatchPattern("^00000012_RCV_", "00000012_RCV_DEMO________.CII"));
  EXPECT_FALSE(MatchPattern("(", "anything"));  // a bad pattern matches nothing
}

}  // namespace
}  // namespace edi
