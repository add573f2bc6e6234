#include "startup/profile_file.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/test_db.h"

namespace edi {
namespace {

std::filesystem::path WriteFile(const std::string& bytes) {
  auto path = test::TempDir("ini") / "EDI.ini";
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

TEST(ProfileFile, NamesIgnoreCaseAndBlanksAndOneQuotePairAreDropped) {
  auto path = WriteFile(
      "[Path]\r\n"
      "  EdiInFil  =  /srv/in/  \r\n"
      "quoted=\"  spaced value \"\r\n"
      "twice=first\r\n"
      "TWICE=second\r\n"
      "; comment=ignored\r\n");
  ProfileFile ini = ProfileFile::Load(path);
  EXPECT_TRUE(ini.exists());
  EXPECT_EQ(ini.Value("PATH", "EDIINFIL"), "/srv/in/");
  EXPECT_EQ(ini.Value("path", "Quoted"), "  spaced value ");
  EXPECT_EQ(ini.Value("PATH", "twice"), "first");
  EXPECT_EQ(ini.Value("PATH", "; comment"), "");
}

TEST(ProfileFile, MissingAndEmptyKeysAndMissingFileAllReadEmpty) {
  auto path = WriteFile("[A]\nempty=\n");
  ProfileFile ini = ProfileFile::Load(path);
  EXPECT_EQ(ini.Value("A", "empty"), "");
  EXPECT_EQ(ini.Value("A", "absent"), "");
  EXPECT_EQ(ini.Value("B", "empty"), "");
  ProfileFile none = ProfileFile::Load(path.parent_path() / "none.ini");
  EXPECT_FALSE(none.exists());
  EXPECT_EQ(none.Value("A", "empty"), "");
}

TEST(ProfileFile, ValueLongerThanBufferIsCutToBufferLengthLessOne) {
  auto path = WriteFile("[A]\nkey=abcdefghij\nkanji=日本語テキスト\n");
  EXPECT_EQ(ReadProfileValue(path, "A", "key", 5), "abcd");
  EXPECT_EQ(ReadProfileValue(path, "A", "key", 11), "abcdefghij");
  // The cut counts characters, never splitting a Japanese character.
  EXPECT_EQ(ReadProfileValue(path, "A", "kanji", 4), "日本語");
}

TEST(ProfileFile, ReadsWindows31JAndUtf8Files) {
  // "[動作環境]\nDBSTRING=①～テスト" in Windows-31J.
  std::string cp932 =
      "[\x93\xae\x8d\xec\x8a\xc2\x8b\xab]\r\nDBSTRING=\x87\x40\x81\x60\x83\x65\x83\x58\x83\x67\r\n";
  EXPECT_EQ(ReadProfileValue(WriteFile(cp932), "動作環境", "DBSTRING"), "①～テスト");
  std::string utf8 = "\xEF\xBB\xBF[動作環境]\nDBSTRING=①～テスト\n";
  EXPECT_EQ(ReadProfileValue(WriteFile(utf8), "動作環境", "DBSTRING"), "①～テスト");
}

TEST(ProfileFile, SectionListsLinesUntilTheBufferIsFull) {
  auto path = WriteFile("[JKBN_K_J]\n0101\n 0102 \nkey = v\n[NEXT]\nx=1\n");
  EXPECT_EQ(ReadProfileSection(path, "jkbn_k_j"),
            (std::vector<std::string>{"0101", "0102", "key=v"}));
  // 5 + 5 characters with terminators fill an 11-character buffer.
  EXPECT_EQ(ReadProfileSection(path, "JKBN_K_J", 11), (std::vector<std::string>{"0101", "0102"}));
  EXPECT_TRUE(ReadProfileSection(path, "EMPTY").empty());
}

}  // namespace
}  // namespace edi
