#include "startup/system_profile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>

namespace edi {
namespace {

TEST(SystemProfile, LinuxFacts) {
  SystemProfile profile;
  EXPECT_EQ(profile.osFamily(), "Unknown OS");
  EXPECT_TRUE(std::regex_match(profile.osVersion(), std::regex("[0-9]+\\.[0-9]+"))) << profile.osVersion();
  EXPECT_TRUE(std::regex_match(profile.build(), std::regex("[0-9]+"))) << profile.build();
  char host[256] = {};
  gethostname(host, 255);
  EXPECT_EQ(profile.computerName(), host);
  EXPECT_FALSE(profile.userName().empty());
}

}  // namespace
}  // namespace edi
