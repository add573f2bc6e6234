#include "startup/settings_folder.h"

#include <gtest/gtest.h>

namespace edi {
namespace {

TEST(SettingsFolder, TwoLevelsAboveTheProgramFolder) {
  EXPECT_EQ(SettingsFolderOf("D:/EDI/SYSTEM/BIN"), "D:/EDI");
  EXPECT_EQ(SettingsFolderOf("/opt/edi/system/bin"), "/opt/edi");
  EXPECT_EQ(SettingsFolderOf("/opt/edi/system/bin/"), "/opt/edi");
  EXPECT_EQ(SettingsFileIn("D:/EDI").string(), "D:/EDI/EDI.ini");
}

TEST(SettingsFolder, ShallowProgramFolders) {
  EXPECT_EQ(SettingsFolderOf("D:/A/B"), "D:");
  EXPECT_EQ(SettingsFileIn("D:").string(), "D:/EDI.ini");
  EXPECT_EQ(SettingsFolderOf("/a/b"), "");  // the file is /EDI.ini
  EXPECT_EQ(SettingsFolderOf("D:/A"), std::nullopt);
  EXPECT_EQ(SettingsFolderOf("/a"), std::nullopt);
  EXPECT_EQ(SettingsFolderOf("bin"), std::nullopt);
}

}  // namespace
}  // namespace edi
