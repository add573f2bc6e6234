#include "transport/file_exchange.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <deque>
#include <filesystem>

#include "support/format_fixture.h"
#include "support/test_db.h"

namespace edi {
namespace {

namespace fs = std::filesystem;

// Dialogs that answer from a script: a path picks it, "" cancels.
class ScriptedDialogs : public FileDialogs {
 public:
  std::deque<std::string> answers;
  std::vector<std::string> shown;  // "open <folder> <file>" / "save <folder> <file>"

  bool ChooseOpenFile(const std::string& folder, std::string& path, std::string& fileName) override {
    return Answer("open", folder, path, fileName);
  }
  bool ChooseSaveFile(const std::string& folder, std::string& path, std::string& fileName) override {
    return Answer("save", folder, path, fileName);
  }

 private:
  bool Answer(const char* kind, const std::string& folder, std::string& path, std::string& fileName) {
    shown.push_back(std::string(kind) + " " + folder + " " + fileName);
    const std::string answer = answers.empty() ? "" : answers.front();
    if (!answers.empty()) answers.pop_front();
    path = answer;
    if (answer.empty()) fileName.clear();
    return !answer.empty();
  }
};

class FileExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::TempDir("exchange");
    for (const char* sub : {"in", "out", "pick"}) fs::create_directories(dir_ / sub);
    state_.paths.ediInFil = (dir_ / "in").string() + "/";
    state_.paths.ediOutFil = (dir_ / "out").string() + "/";
    test::WriteFile(Picked(), "CII DATA");
  }

  std::string Picked() const { return (dir_ / "pick/from partner.CII").string(); }

  FileExchangeRequest Request(const std::string& direction = "R", const std::string& format = "C") const {
    FileExchangeRequest r;
    r.centreCode = "AB C";
    r.transferNo = 12;
    r.direction = direction;
    r.dataFormat = format;
    r.path = (dir_ / "pick/default.CII").string();
    r.programId = "M470230";
    return r;
  }

  fs::path dir_;
  ProgramState state_;
  ScriptedDialogs dialogs_;
  NoReceiptLog receipts_;
};

TEST_F(FileExchangeTest, APickedFileIsMovedUnderTheTransferName) {
  dialogs_.answers = {Picked()};
  auto request = Request("ｒ");
  EXPECT_TRUE(RunFileExchange(request, state_, dialogs_, receipts_).ok());
  EXPECT_EQ(dialogs_.shown, std::vector<std::string>{"open " + (dir_ / "pick").string() + " default.CII"});
  EXPECT_EQ(test::ReadFile((dir_ / "in/00000012_RCV_AB_C________.CII").string()), "CII DATA");
  EXPECT_FALSE(fs::exists(Picked())) << "a move, not a copy";
}

TEST_F(FileExchangeTest, CancelAndAVanishedFileMoveNothing) {
  auto request = Request();
  const Outcome cancelled = RunFileExchange(request, state_, dialogs_, receipts_);  // the script cancels
  EXPECT_EQ(cancelled.Codes(), "5100/9999");
  EXPECT_EQ(cancelled.reason, "cancelled by the operator");
  dialogs_.answers = {(dir_ / "pick/gone.CII").string()};
  request = Request();
  const Outcome vanished = RunFileExchange(request, state_, dialogs_, receipts_);
  EXPECT_EQ(vanished.endCode, "5100");
  EXPECT_NE(vanished.reason.find("gone.CII"), std::string::npos) << vanished.reason;
  EXPECT_TRUE(fs::is_empty(dir_ / "in"));
}

TEST_F(FileExchangeTest, DataFormatsAndDirections) {
  EXPECT_EQ(DataFormatExtension("Ｘ"), "XML");
  EXPECT_EQ(DataFormatExtension(" ｃ "), "CII");
  EXPECT_EQ(DataFormatExtension("x"), "XML");
  EXPECT_EQ(DataFormatExtension("XML"), "Err");
  auto request = Request("R", "XML");
  EXPECT_FALSE(RunFileExchange(request, state_, dialogs_, receipts_).ok());
  EXPECT_TRUE(dialogs_.shown.empty()) << "no dialog for a format without extension";
  request = Request("Q");
  dialogs_.answers = {Picked()};
  EXPECT_FALSE(RunFileExchange(request, state_, dialogs_, receipts_).ok());
  EXPECT_TRUE(fs::exists(Picked()));
}

TEST_F(FileExchangeTest, ThePathWithoutFolderAndTheProgramsWithoutDialogs) {
  auto request = Request("R", "Ｘ");
  request.path = "loose.XML";
  RunFileExchange(request, state_, dialogs_, receipts_);
  EXPECT_EQ(dialogs_.shown, std::vector<std::string>{"open  loose.XML"}) << "no folder, the whole path as name";
  request = Request();
  request.programId = "M470210";
  request.path = Picked();
  EXPECT_TRUE(RunFileExchange(request, state_, dialogs_, receipts_).ok());
  EXPECT_EQ(dialogs_.shown.size(), 1u);
}

TEST_F(FileExchangeTest, AMoveThatFailsLeavesTheSourceAndNoHalfFile) {
  std::string why;
  EXPECT_FALSE(MoveFile((dir_ / "pick/none").string(), (dir_ / "in/x").string(), why));
  EXPECT_FALSE(MoveFile(Picked(), (dir_ / "no-such-folder/x").string(), why));
  EXPECT_NE(why.find("no-such-folder"), std::string::npos) << why;
  EXPECT_EQ(test::ReadFile(Picked()), "CII DATA");
  fs::permissions(dir_ / "pick", fs::perms::owner_read | fs::perms::owner_exec);  // the source cannot be deleted
  if (geteuid() != 0) {
    EXPECT_FALSE(MoveFile(Picked(), (dir_ / "in/x").string(), why));
    EXPECT_FALSE(fs::exists(dir_ / "in/x")) << "the copy is taken back";
  }
  fs::permissions(dir_ / "pick", fs::perms::owner_all);
  EXPECT_TRUE(fs::exists(Picked()));
  EXPECT_TRUE(fs::is_empty(dir_ / "in"));
}

TEST_F(FileExchangeTest, TheSaveDialogComesBackUntilConfirmed) {
  test::WriteFile((dir_ / "out/00000012_SND_AB_C________.CII").string(), "TO SEND");
  dialogs_.answers = {"", "", (dir_ / "pick/sent.CII").string()};
  auto request = Request("S");
  EXPECT_TRUE(RunFileExchange(request, state_, dialogs_, receipts_).ok());
  const std::string folder = (dir_ / "pick").string();
  EXPECT_EQ(dialogs_.shown, (std::vector<std::string>{"save " + folder + " default.CII", "save " + folder + " ",
                                                      "save " + folder + " "}));
  EXPECT_EQ(test::ReadFile((dir_ / "pick/sent.CII").string()), "TO SEND");
}

}  // namespace
}  // namespace edi
