#include "transport/nts_transfer.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/ansi_codec.h"
#include "base/files.h"
#include "startup/common_routines.h"
#include "transport/nts_files.h"

namespace edi {
namespace fs = std::filesystem;
namespace {

constexpr char kRequestFile[] = "Zkeyin.dat";
constexpr char kProgram[] = "z_tcp.exe";
constexpr char kStatusPattern[] = "STS/Sts*.TXT";
constexpr char kLockFile[] = "z_tcp.lock";

std::string Digits(long long value, int width) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%0*lld", width, value);
  return buffer;
}

bool IsReceive(const std::string& mode) { return mode == "1" || mode == "3"; }
bool IsSend(const std::string& mode) { return mode == "2" || mode == "4"; }

// The package's folder holds fixed file names: one transfer at a time, also
// across station processes. The lock is waited for with the window kept
// alive, and released when the transfer ends.
class PackageLock {
 public:
  PackageLock(const std::string& programFolder, const PendingEvents& pending) {
    fd_ = ::open((programFolder + kLockFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if (errno != EWOULDBLOCK && errno != EINTR) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
      if (pending) pending();
      ::usleep(50 * 1000);
    }
  }
  ~PackageLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// The 11 lines of the request file, in Windows-31J with CR LF.
std::string RequestLines(const NtsTransferRequest& request, const ProgramState& state) {
  const std::string lines[] = {Digits(request.serialNo, 8),
                               request.mode,
                               Digits(request.partnerNo, 2),
                               Digits(request.fileNo, 2),
                               "D",
                               "N",
                               std::to_string(state.minimaize),
                               "0",
                               "0",
                               std::to_string(state.demoMode),
                               "1"};
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  std::string ansi;
  Utf8ToAnsi(text, ansi);
  return ansi;
}

int Fail(std::string& why, std::string text) {
  why = std::move(text);
  return 9;
}

}  // namespace

std::string NtsFileName(long long serialNo, const std::string& centreCode, bool send) {
  const std::string centre = std::string(Utf8Prefix(PadCentre(centreCode), 12));
  return Digits(serialNo, 8) + (send ? "_SND_" : "_RCV_") + centre + ".CII";
}

int DeleteFileIfPresent(const std::string& folder, const std::string& pattern) {
  const auto files = ListMatching(folder, pattern);
  if (files.empty()) return 1;
  int result = 0;
  for (const auto& file : files) {
    std::error_code ec;
    if (!fs::remove(file, ec) || ec) result = 9;
  }
  return result;
}

int RunAndWait(const std::string& program, const std::string& programFolder, const PendingEvents& pending) {
  const ProcessResult run = RunAndWaitProgram(program, {}, programFolder, pending);
  if (pending) pending();
  return run.started ? 0 : 9;
}

int RunNtsTransfer(NtsTransferRequest& request, const std::string& ntsFilePath, const NtsContext& context,
                   std::string& why) {
  const PathSettings& paths = context.state.paths;
  const std::string& folder = context.programFolder;
  PackageLock lock(folder, context.pending);
  if (!lock.held()) return Fail(why, "cannot lock the package folder " + folder + ": " + std::strerror(errno));

  DeleteFileIfPresent(paths.ntsPath, kStatusPattern);
  if (DeleteFileIfPresent(folder, kRequestFile) == 9) return Fail(why, "cannot delete " + folder + kRequestFile);
  std::string error;
  if (!WriteFileAtomically(folder + kRequestFile, RequestLines(request, context.state), error)) return Fail(why, error);
  if (DeleteFileIfPresent(paths.ntsPath, kStatusPattern) == 9) {
    return Fail(why, "cannot delete the status files " + paths.ntsPath + kStatusPattern);
  }
  if (IsSend(request.mode) &&
      !CopyFileAtomically(paths.ediOutFil + "/" + NtsFileName(request.serialNo, request.centreCode, true),
                          ntsFilePath, error)) {
    return Fail(why, error);
  }

  RunAndWait(folder + kProgram, folder, context.pending);

  const auto statusFiles = ListMatching(paths.ntsPath, kStatusPattern);
  if (statusFiles.empty()) return Fail(why, "the package left no status file " + paths.ntsPath + kStatusPattern);
  std::string bytes;
  if (!ReadWholeFile(statusFiles.front(), bytes)) return Fail(why, "cannot read " + statusFiles.front().string());
  const std::string status = PackageStatus(StatusFirstField(bytes));

  fs::path log = fs::path(paths.ntsPath) / "LOGFL.dat";
  if (!fs::exists(log)) log = fs::path(paths.ntsPath) / "LOGFL2.dat";
  long long count = 0;
  if (!ReadWholeFile(log, bytes)) return Fail(why, "cannot read the package log " + log.string());
  if (!FindTransferInLog(bytes, request.serialNo, count)) {
    return Fail(why, "transfer " + Digits(request.serialNo, 8) + " is not in the package log " + log.string());
  }

  if (status == "0000" && IsReceive(request.mode) &&
      !CopyFileAtomically(ntsFilePath,
                          paths.ediInFil + "/" + NtsFileName(request.serialNo, request.centreCode, false), error)) {
    return Fail(why, error);
  }
  request.transferredCount = count;
  request.status = status;
  return 0;
}

}  // namespace edi
