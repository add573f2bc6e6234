#include "startup/startup.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include "startup/colour_settings.h"
#include "startup/job_settings.h"
#include "startup/mail_settings.h"
#include "startup/startup_settings.h"
#include "station/station_setup.h"
#include "support/test_db.h"

namespace edi {
namespace {

class RecordingSink : public MessageSink {
 public:
  void ShowMessage(std::string_view text, std::string_view detail) override {
    messages.emplace_back(text);
    details.emplace_back(detail);
  }
  std::vector<std::string> messages;
  std::vector<std::string> details;
};

class StartUpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    station_ = test::TempDir("station");
    std::string error;
    std::filesystem::path created;
    ASSERT_TRUE(SetUpStation(station_, {}, created, error)) << error;
  }

  // Replaces the line of `key` in the settings file by key=value.
  void SetKey(const std::string& key, const std::string& value) {
    std::ifstream in(station_ / "EDI.ini", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string replaced =
        std::regex_replace(text.str(), std::regex("(^|\n)" + key + "=[^\r\n]*"), "$1" + key + "=" + value);
    std::ofstream(station_ / "EDI.ini", std::ios::binary) << replaced;
  }

  bool Start() { return StartUp((station_ / "system/bin").string(), sink_, state_, db_); }

  std::filesystem::path station_;
  RecordingSink sink_;
  ProgramState state_;
  Database db_;
};

TEST_F(StartUpTest, FreshStationStartsAndFillsTheProgramState) {
  ASSERT_TRUE(Start()) << (sink_.messages.empty() ? "" : sink_.messages[0]);
  EXPECT_TRUE(sink_.messages.empty());
  EXPECT_EQ(state_.programId, "M470230");
  EXPECT_EQ(state_.settingsFolder, station_.string());
  EXPECT_EQ(state_.paths.ediInFil, station_.string() + "/in/");
  EXPECT_EQ(state_.paths.mgstPath, station_.string() + "/status");
  EXPECT_EQ(state_.packageWindowMinimized, 1);
  EXPECT_FALSE(state_.userName.empty());
  EXPECT_EQ(state_.connectionString, "sqlite:" + station_.string() + "/data/edi.sqlite");
  EXPECT_EQ(state_.display.textBackColor, 16777215.0);
  EXPECT_EQ(state_.display.titleFont.name, "ＭＳ ゴシック");
  EXPECT_TRUE(db_.IsOpen());
}

TEST_F(StartUpTest, SettingsErrorsEndStartUpWithTheReadErrorMessage) {
  for (auto [key, value] : {std::pair{"TextFocusColor", ""}, {"TextFocusColor", "blue"},
                            {"MINIMAIZE", "40000"}, {"DEMOMODE", ""}}) {
    SetUp();
    SetKey(key, value);
    RecordingSink sink;
    ProgramState state;
    Database db;
    EXPECT_FALSE(StartUp((station_ / "system/bin").string(), sink, state, db)) << key;
    EXPECT_EQ(sink.messages, std::vector<std::string>{"INIﾌｧｲﾙ読込エラー"}) << key << "=" << value;
  }
}

TEST_F(StartUpTest, LaterSettingsAreReadFromTheStationsFile) {
  ASSERT_TRUE(Start());
  auto job = [&] { return ReadJobSettings(LoadStationSettings(state_)); };
  auto colours = [&] { return ReadRowColours(LoadStationSettings(state_)); };
  EXPECT_EQ(job().commandFolder, station_.string() + "/command");
  EXPECT_EQ(job().dataKinds, std::vector<std::string>{"0101"});
  EXPECT_EQ(colours().error, 255.0);
  SetKey("エラー", "&H000000FF");
  EXPECT_EQ(colours().error, 255.0);
  SetKey("エラー", "12ab");
  EXPECT_EQ(colours().error, 12.0) << "the leading number";
  SetKey("エラー", "");
  EXPECT_EQ(colours().error, 0.0) << "an empty key is black";
  EXPECT_EQ(ReadMailSettings(LoadStationSettings(state_)).sendUrl, "sendmail://");
  EXPECT_EQ(job().packageProgramFolder, station_.string() + "/nts/program/");
  SetKey("NTS100_PROGRAM_DIR", "");
  EXPECT_EQ(job().packageProgramFolder, "/opt/nts/100btcp/");
  SetKey("MGCMDLINEKR", "/usr/bin/translator");
  EXPECT_EQ(job().translatorCommand, "/usr/bin/translator");
}

TEST(DataKindCodes, StopAtTheFirstEmptyOrBackslashEntry) {
  auto dir = test::TempDir("kinds");
  std::filesystem::create_directories(dir / "system/bin");
  std::ofstream(dir / "EDI.ini") << "[JKBN_K_J]\n0101\n0202\n\\\n0303\n";
  EXPECT_EQ(ReadJobSettings(ProfileFile::Load(dir / "EDI.ini")).dataKinds, (std::vector<std::string>{"0101", "0202"}));
}

TEST_F(StartUpTest, EmptyFontNameIsNoError) {
  SetKey("TitleFontName", "");
  EXPECT_TRUE(Start());
}

TEST_F(StartUpTest, MissingSettingsFileIsAReadError) {
  std::filesystem::remove(station_ / "EDI.ini");
  EXPECT_FALSE(Start());
  EXPECT_EQ(sink_.messages, std::vector<std::string>{"INIﾌｧｲﾙ読込エラー"});
}

TEST_F(StartUpTest, ProgramTooCloseToTheRootIsAReadError) {
  EXPECT_FALSE(StartUp("/bin", sink_, state_, db_));
  EXPECT_EQ(sink_.messages, std::vector<std::string>{"INIﾌｧｲﾙ読込エラー"});
}

TEST_F(StartUpTest, UnknownDataSourceOrMissingFileIsAConnectionError) {
  for (const char* dsn : {"no_such_dsn", "sqlite:data/missing.sqlite", ""}) {
    SetUp();
    SetKey("DBSTRING", dsn);
    RecordingSink sink;
    ProgramState state;
    Database db;
    EXPECT_FALSE(StartUp((station_ / "system/bin").string(), sink, state, db)) << dsn;
    EXPECT_EQ(sink.messages, std::vector<std::string>{"接続エラー"}) << dsn;
  }
}

// Runs a command and returns its exit status, with stderr in `err`.
int RunCommand(const std::string& command, std::string& err) {
  std::string full = command + " 2>&1 >/dev/null";
  FILE* pipe = popen(full.c_str(), "r");
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) err += buffer;
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(StartUpTest, HeadlessProgramReportsOnStandardErrorAndExitsNonZero) {
  const std::string tool = std::string(EDI_BINARY_DIR) + "/apps/edi-station";
  SetKey("DBSTRING", "no_such_dsn");
  std::string err;
  EXPECT_EQ(RunCommand(tool + " list " + station_.string(), err), 1);
  EXPECT_NE(err.find("接続エラー"), std::string::npos) << err;

  SetKey("DBSTRING", "sqlite:data/edi.sqlite");
  SetKey("MINIMAIZE", "40000");
  err.clear();
  EXPECT_EQ(RunCommand(tool + " list " + station_.string(), err), 1);
  EXPECT_NE(err.find("INIﾌｧｲﾙ読込エラー"), std::string::npos) << err;
}

TEST(StationSetup, DemoStationListsItsCentres) {
  auto dir = test::TempDir("demo");
  const std::string tool = std::string(EDI_BINARY_DIR) + "/apps/edi-station";
  std::string err;
  ASSERT_EQ(RunCommand(tool + " init " + dir.string() + " --demo", err), 0) << err;
  ASSERT_TRUE(std::filesystem::exists(dir / "system/bin/edi-station"));
  FILE* pipe = popen((dir.string() + "/system/bin/edi-station list " + dir.string()).c_str(), "r");
  std::string out;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_NE(out.find("DEMOZ01\tデモ部品センター（ＴＣＰ）\tＴＣＰ手順（NTS100）\n"), std::string::npos) << out;
  EXPECT_NE(out.find("DEMOM01\t"), std::string::npos);
  EXPECT_EQ(out.find("DEMOS01"), std::string::npos);  // partner kind 2 is not listed
}

}  // namespace
}  // namespace edi
