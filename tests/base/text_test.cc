#include "base/text.h"

#include <gtest/gtest.h>

namespace edi {
namespace {

TEST(Text, TrimsBlanksOrOnlySpaces) {
  EXPECT_EQ(TrimBlanks(" \t a b \r\n"), "a b");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(TrimSpaces("\t a \t"), "\t a \t");
  EXPECT_EQ(TrimSpaces("  ab  "), "ab");
  EXPECT_EQ(TrimTrailingSpacesView("  ab  "), "  ab");
}

TEST(Text, FoldsOnlyAsciiLetters) {
  EXPECT_TRUE(EqualsIgnoreAsciiCase("bpid", "BPID"));
  EXPECT_FALSE(EqualsIgnoreAsciiCase("bpid", "BPI"));
  // Bytes of Japanese text are never folded (0xE3 0x81 0x82 is "あ").
  EXPECT_FALSE(EqualsIgnoreAsciiCase("\xE3\x81\x82", "\xE3\xA1\x82"));
  EXPECT_TRUE(EndsWithIgnoreAsciiCase("00000001_RCV_A.cii", "CII"));
  EXPECT_FALSE(EndsWithIgnoreAsciiCase("II", "CII"));
}

}  // namespace
}  // namespace edi
