#include "base/options.h"

#include <gtest/gtest.h>

namespace edi {
namespace {

bool Parse(std::vector<std::string_view> args, ParsedOptions& parsed, std::string& error) {
  return ParseOptions(args, {{"in"}, {"all", false}, {"centre", true, true}}, parsed, error);
}

TEST(Options, ValuesFlagsAndPlainArguments) {
  ParsedOptions parsed;
  std::string error;
  ASSERT_TRUE(Parse({"to-xml", "--in=a b.CII", "--all", "--centre", "X", "--centre=Y"}, parsed, error)) << error;
  EXPECT_EQ(parsed.Value("in"), "a b.CII");
  EXPECT_TRUE(parsed.Has("all"));
  EXPECT_EQ(parsed.Values("centre"), (std::vector<std::string>{"X", "Y"}));
  EXPECT_EQ(parsed.plain(), std::vector<std::string>{"to-xml"});
  EXPECT_FALSE(parsed.Has("help"));
}

TEST(Options, UsageErrors) {
  for (std::vector<std::string_view> args : std::vector<std::vector<std::string_view>>{
           {"--bogus", "1"}, {"--in"}, {"-5"}, {"--all=1"}, {"--in", "a", "--in", "b"}}) {
    ParsedOptions parsed;
    std::string error;
    EXPECT_FALSE(Parse(args, parsed, error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(Options, WholeNumbersOnly) {
  EXPECT_EQ(ParseCount("12"), 12);
  EXPECT_EQ(ParseCount("0"), 0);
  for (const char* bad : {"12abc", "-5", "+5", "", " 1", "99999999999999999999"}) {
    EXPECT_FALSE(ParseCount(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace edi
