#include "startup/system_profile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>

namespace edi {
namespace {

TEST(SystemProfile, LinuxFacts) {
  cProfile profile;
  EXPECT_EQ(profile.OS(), "Unknown OS");
  EXPECT_TRUE(std::regex_match(profile.Ver(), std::regex("[0-9]+\\.[0-9]+"))) << profile.Ver();
  EXPECT_TRUE(std::regex_match(profile.Build(), std::regex("[0-9]+"))) << profile.Build();
  char host[256] = {};
  gethostname(host, 255);
  EXPECT_EQ(profile.machine(), host);
  EXPECT_FALSE(profile.User().empty());
}

}  // namespace
}  // namespace edi
