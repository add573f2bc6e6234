#include "transport/nts_transfer.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/format_fixture.h"
#include "support/recording_receipts.h"
#include "support/test_db.h"

namespace edi {
namespace {

namespace fs = std::filesystem;

// A package folder with the stand-in as z_tcp.exe, its working folder, the
// partner's sent file 01_01 and the station's inbound and outbound folders.
class NtsTransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::TempDir("nts");
    for (const char* sub : {"nts/STS", "program", "partner", "in", "out", "recv"}) fs::create_directories(dir_ / sub);
    fs::copy_file(std::string(EDI_BINARY_DIR) + "/apps/z_tcp-standin", dir_ / "program/z_tcp.exe");
    state_.paths.ntsPath = (dir_ / "nts").string() + "/";
    state_.paths.ediInFil = (dir_ / "in").string() + "/";
    state_.paths.ediOutFil = (dir_ / "out").string() + "/";
    state_.packageWindowMinimized = 1;
    state_.packageDemoMode = 0;
    test::WriteFile((dir_ / "partner/01_01").string(), "PARTNER DATA");
    Configure("");
  }

  void Configure(const std::string& extra) {
    test::WriteFile((dir_ / "program/z_tcp-standin.ini").string(),
                    "[standin]\nNTS100_PATH=" + state_.paths.ntsPath + "\nSENT_DIR=" + (dir_ / "partner").string() +
                        "\nRECEIVE_01_01=" + ReceivePath() + "\n" + extra);
  }

  std::string ReceivePath() const { return (dir_ / "recv/R.CII").string(); }

  Outcome Run(NtsTransferRequest& request) { return RunNtsTransfer(request, ReceivePath(), Context()); }

  NtsContext Context() { return NtsContext{state_, (dir_ / "program").string() + "/", [] {}, receipts_}; }

  static NtsTransferRequest Request(TransferNo number, const std::string& centre = "AB") {
    NtsTransferRequest r;
    r.centreCode = centre;
    r.transferNo = number;
    r.mode = "1";
    r.partnerNo = 1;
    r.fileNo = 1;
    return r;
  }

  std::string Inbound(const std::string& name) const { return test::ReadFile((dir_ / "in" / name).string()); }

  fs::path dir_;
  ProgramState state_;
  test::RecordingReceipts receipts_;
};

TEST_F(NtsTransferTest, AReceiveCopiesTheFileUnderTheTransferName) {
  auto request = Request(56, "1234");
  ASSERT_TRUE(Run(request).ok());
  ASSERT_EQ(receipts_.documents.size(), 1u);
  EXPECT_EQ(receipts_.documents[0].size, 12);
  EXPECT_EQ(Inbound("00000056_RCV_1234________.CII"), "PARTNER DATA");
  EXPECT_EQ(test::ReadFile((dir_ / "program/Zkeyin.dat").string()),
            "00000056\r\n1\r\n01\r\n01\r\nD\r\nN\r\n1\r\n0\r\n0\r\n0\r\n1\r\n");
  EXPECT_TRUE(fs::exists(ReceivePath())) << "the package's receive file is not removed";
}

TEST_F(NtsTransferTest, ALongCentreCodeIsCutLikeEveryName) {
  auto request = Request(57, "ABCDEFGHIJKLMN");
  ASSERT_TRUE(Run(request).ok());
  EXPECT_EQ(Inbound("00000057_RCV_ABCDEFGHIJKL.CII"), "PARTNER DATA");
}

TEST_F(NtsTransferTest, StaleStatusFilesAreDeletedBeforeTheRun) {
  test::WriteFile(state_.paths.ntsPath + "STS/Sts00000001.TXT", "\"0105\"\r\n");
  test::WriteFile(state_.paths.ntsPath + "STS/sts-lower.txt", "\"0105\"\r\n");
  Configure("NO_STATUS=1\n");
  auto request = Request(2);
  const Outcome outcome = Run(request);
  EXPECT_EQ(outcome.Codes(), "5001/0000") << "no status file of this run";
  EXPECT_NE(outcome.reason.find("no status file"), std::string::npos) << outcome.reason;
  EXPECT_TRUE(fs::is_empty(state_.paths.ntsPath + "STS"));
}

TEST_F(NtsTransferTest, StatusesOfThePackage) {
  for (const auto& [written, expected] : std::vector<std::pair<std::string, std::string>>{
           {"0", "0000"}, {" 0", "0000"}, {"A123", "0000"}, {"0105", "0105"}}) {
    Configure("STATUS=" + written + "\n");
    fs::remove_all(dir_ / "in");
    fs::create_directory(dir_ / "in");
    auto request = Request(3);
    const Outcome outcome = Run(request);
    EXPECT_EQ(outcome.detailCode, expected) << written;
    EXPECT_EQ(outcome.endCode, expected == "0000" ? "0000" : "5001") << written;
    EXPECT_EQ(fs::exists(dir_ / "in/00000003_RCV_AB__________.CII"), expected == "0000") << written;
  }
}

TEST_F(NtsTransferTest, TheLogDecidesAndLogfl2IsOnlyTheFallback) {
  // LOGFL2.dat holds the serial, but LOGFL.dat exists and lacks it.
  test::WriteFile(state_.paths.ntsPath + "LOGFL2.dat", "LOG\n" + std::string(71, ' ') + "0000005 00000004\n");
  Configure("NO_LOG=1\n");
  auto request = Request(4);
  const Outcome outcome = Run(request);
  EXPECT_EQ(outcome.Codes(), "5001/0000");
  EXPECT_NE(outcome.reason.find("not in the package log"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "in/00000004_RCV_AB__________.CII")) << "nothing is copied";
  // Without LOGFL.dat, LOGFL2.dat is read.
  fs::remove(state_.paths.ntsPath + "LOGFL.dat");
  fs::remove(state_.paths.ntsPath + "LOGFL2.dat");
  Configure("LOG_FILE=LOGFL2.dat\n");
  request = Request(4);
  EXPECT_TRUE(Run(request).ok()) << Run(request).reason;
  EXPECT_TRUE(fs::exists(dir_ / "in/00000004_RCV_AB__________.CII"));
}

TEST_F(NtsTransferTest, TheNewestRecordOfTheSerialGivesTheCount) {
  test::WriteFile(state_.paths.ntsPath + "LOGFL.dat",
                  "LOG\n" + std::string(71, ' ') + "0000007 00000123\n" + std::string(71, ' ') + "0000008      123\n");
  Configure("NO_LOG=1\n");
  auto request = Request(123);
  ASSERT_TRUE(Run(request).ok());
  EXPECT_EQ(request.transferredCount, 8);
  EXPECT_EQ(test::ReadFile((dir_ / "program/Zkeyin.dat").string()).substr(0, 10), "00000123\r\n");
}

TEST_F(NtsTransferTest, FailuresOnTheWayTellTheirReason) {
  // A program that cannot be started is not a status of the package.
  fs::remove(dir_ / "program/z_tcp.exe");
  auto request = Request(5);
  Outcome outcome = Run(request);
  EXPECT_EQ(outcome.Codes(), "5001/0001");
  EXPECT_NE(outcome.reason.find("z_tcp.exe"), std::string::npos) << outcome.reason;
  EXPECT_NE(outcome.reason.find("No such file"), std::string::npos) << outcome.reason;
  // A received file that cannot be copied into the inbound folder.
  fs::copy_file(std::string(EDI_BINARY_DIR) + "/apps/z_tcp-standin", dir_ / "program/z_tcp.exe");
  const std::string inbound = state_.paths.ediInFil;
  state_.paths.ediInFil = (dir_ / "no-such-folder").string() + "/";
  outcome = Run(request);
  EXPECT_EQ(outcome.Codes(), "5001/0000");
  EXPECT_NE(outcome.reason.find("no-such-folder"), std::string::npos) << outcome.reason;
  // The package's file that could not be taken in is taken in first by the
  // next transfer, before the package could write over it.
  state_.paths.ediInFil = inbound;
  Configure("STATUS=0105\n");
  auto next = Request(6);
  outcome = Run(next);
  EXPECT_TRUE(outcome.ok()) << outcome.reason;
  ASSERT_EQ(outcome.warnings.size(), 1u);
  EXPECT_EQ(Inbound("00000006_RCV_AB__________.CII"), "PARTNER DATA");
  EXPECT_EQ(receipts_.documents.size(), 1u);
  EXPECT_EQ(Run(next).Codes(), "5001/0105") << "known now: the package runs";
}

TEST_F(NtsTransferTest, DeleteFileIfPresentLeavesNoMatch) {
  const std::string folder = state_.paths.ntsPath;
  std::string why;
  EXPECT_TRUE(DeleteFileIfPresent(folder, "STS/Sts*.TXT", why));
  test::WriteFile(folder + "STS/STS1.txt", "x");
  EXPECT_TRUE(DeleteFileIfPresent(folder, "sts/sts*.txt", why));
  EXPECT_TRUE(fs::is_empty(folder + "STS"));
}

TEST_F(NtsTransferTest, TwoStationProcessesTransferOneAfterTheOther) {
  const std::string trace = (dir_ / "trace").string();
  Configure("DELAY_MS=300\nTRACE=" + trace + "\n");
  receipts_.knowsAll = true;  // the two processes share one ledger
  std::vector<pid_t> children;
  for (long long serial : {10, 11}) {
    const pid_t pid = fork();
    if (pid == 0) {
      auto request = Request(serial);
      _exit(Run(request).ok() ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::ifstream in(trace);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 4u);
  // start a, end a, start b, end b: the second waited for the first.
  EXPECT_EQ(lines[0].substr(0, 6), "start ");
  EXPECT_EQ(lines[1], "end " + lines[0].substr(6));
  EXPECT_EQ(lines[2].substr(0, 6), "start ");
  EXPECT_EQ(lines[3], "end " + lines[2].substr(6));
  EXPECT_TRUE(fs::exists(dir_ / "in/00000010_RCV_AB__________.CII"));
  EXPECT_TRUE(fs::exists(dir_ / "in/00000011_RCV_AB__________.CII"));
}

}  // namespace
}  // namespace edi
