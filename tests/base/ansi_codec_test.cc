#include "base/ansi_codec.h"

#include <gtest/gtest.h>

namespace edi {
namespace {

TEST(AnsiCodec, Windows31JCharactersRoundTrip) {
  const std::string text = "ｱA亜①～－∥￢";
  std::string bytes;
  ASSERT_TRUE(Utf8ToAnsi(text, bytes));
  EXPECT_EQ(bytes.substr(0, 4), "\xB1" "A\x88\x9F");
  EXPECT_EQ(bytes.substr(4, 4), "\x87\x40\x81\x60");
  EXPECT_EQ(AnsiToUtf8(bytes), text);
}

TEST(AnsiCodec, UnmappableCharactersAreSubstitutedAndReported) {
  std::string bytes;
  EXPECT_FALSE(Utf8ToAnsi("a😀b", bytes));
  EXPECT_EQ(bytes, "a?b");
  EXPECT_FALSE(Utf8ToAnsi("a\xFF" "b", bytes));
  EXPECT_EQ(bytes, "a?b");
}

TEST(AnsiCodec, Utf8Checks) {
  EXPECT_TRUE(IsValidUtf8("日本語 abc"));
  EXPECT_FALSE(IsValidUtf8("\x93\xfa\x96\x7b"));  // 日本 in Windows-31J
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong "/"
  EXPECT_EQ(Utf8Length("aあ①"), 3u);
  EXPECT_EQ(Utf8Prefix("aあ①", 2), "aあ");
}

}  // namespace
}  // namespace edi
