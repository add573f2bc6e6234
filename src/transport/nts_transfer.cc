#include "transport/nts_transfer.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "base/ansi_codec.h"
#include "base/files.h"
#include "base/sha256.h"
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
// alive and released when the transfer ends; the package's program inherits
// it, so a station killed while the package runs leaves the folder locked
// until the package has ended.
class PackageLock {
 public:
  PackageLock(const std::string& programFolder, const PendingEvents& pending) {
    fd_ = ::open((programFolder + kLockFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
      why_ = WithErrno("cannot open the package lock " + programFolder + kLockFile, errno);
      return;
    }
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if (errno != EWOULDBLOCK && errno != EINTR) {
        why_ = WithErrno("cannot lock the package folder " + programFolder, errno);
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
  int fd() const { return fd_; }
  const std::string& why() const { return why_; }

 private:
  int fd_ = -1;
  std::string why_;
};

// The 11 lines of the request file, in Windows-31J with CR LF.
std::string RequestLines(const NtsTransferRequest& request, const ProgramState& state) {
  const std::string lines[] = {TransferDigits(request.transferNo),
                               request.mode,
                               Digits(request.partnerNo, 2),
                               Digits(request.fileNo, 2),
                               "D",
                               "N",
                               std::to_string(state.packageWindowMinimized),
                               "0",
                               "0",
                               std::to_string(state.packageDemoMode),
                               "1"};
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  std::string ansi;
  Utf8ToAnsi(text, ansi);
  return ansi;
}

Outcome Failed(std::string why) { return Outcome::Failure(kResultNts, kResultOk, std::move(why)); }

// Reads the status of the package's run: the first status file's first field.
bool ReadPackageStatus(const std::string& ntsPath, const ProcessResult& run, std::string& status, std::string& why) {
  const auto statusFiles = ListMatching(ntsPath, kStatusPattern);
  if (statusFiles.empty()) {
    why = "the package left no status file " + ntsPath + kStatusPattern + " (its program ended with exit status " +
          std::to_string(run.exitStatus) + ")";
    return false;
  }
  std::string bytes;
  if (!ReadWholeFile(statusFiles.front(), bytes)) {
    why = WithErrno("cannot read the package's status file " + statusFiles.front().string(), errno);
    return false;
  }
  status = PackageStatus(StatusFirstField(bytes));
  return true;
}

// Finds the transfer's record in the package's log and takes its count.
bool ReadLoggedCount(const std::string& ntsPath, TransferNo transferNo, long long& count, std::string& why) {
  fs::path log = fs::path(ntsPath) / "LOGFL.dat";
  if (!fs::exists(log)) log = fs::path(ntsPath) / "LOGFL2.dat";
  std::string bytes;
  if (!ReadWholeFile(log, bytes)) {
    why = WithErrno("cannot read the package log " + log.string(), errno);
    return false;
  }
  if (!FindTransferInLog(bytes, transferNo, count)) {
    why = "transfer " + TransferDigits(transferNo) + " is not in the package log " + log.string();
    return false;
  }
  return true;
}

// Clears what an earlier run left and writes the request file.
bool PrepareRequest(const NtsTransferRequest& request, const NtsContext& context, std::string& why) {
  const std::string& folder = context.programFolder;
  const std::string& ntsPath = context.state.paths.ntsPath;
  return DeleteFileIfPresent(ntsPath, kStatusPattern, why) && DeleteFileIfPresent(folder, kRequestFile, why) &&
         WriteFileAtomically(folder + kRequestFile, RequestLines(request, context.state), why) &&
         DeleteFileIfPresent(ntsPath, kStatusPattern, why);
}

// What the package's receive file looks like: whether a run wrote to it.
struct FileStamp {
  bool exists = false;
  uintmax_t size = 0;
  fs::file_time_type written{};
  bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path) {
  std::error_code ec;
  FileStamp stamp;
  stamp.exists = fs::is_regular_file(path, ec);
  if (stamp.exists) {
    stamp.size = fs::file_size(path, ec);
    stamp.written = fs::last_write_time(path, ec);
  }
  return stamp;
}

// The hash of a whole file; "" when it cannot be read.
std::string FileHash(const fs::path& file) {
  std::string bytes;
  return ReadWholeFile(file, bytes) ? Sha256Hex(bytes) : "";
}

// True when the package's receive file holds content the station never took
// in: neither the receipt log knows it nor is it the centre's newest
// received file in the backup folder (a station that kept no log yet).
bool IsUntakenLeftover(const std::string& ntsFilePath, const NtsTransferRequest& request, const NtsContext& context) {
  std::error_code ec;
  if (ntsFilePath.empty() || !fs::is_regular_file(ntsFilePath, ec)) return false;
  const std::string hash = FileHash(ntsFilePath);
  if (hash.empty() || context.receipts.Knows(hash)) return false;
  const auto backups =
      ListMatching(context.state.paths.oldFile, "*_RCV_" + PadCentre(request.centreCode) + ".CII");
  return backups.empty() ? true : FileHash(backups.back()) != hash;
}

// Copies the package's receive file into the inbound folder under the
// transfer's name and records it.
Outcome TakeIn(const std::string& ntsFilePath, const NtsTransferRequest& request, const NtsContext& context) {
  const std::string received = context.state.paths.ediInFil +
                               TransferFileName(request.transferNo, request.centreCode, TransferFile::kReceivedCii);
  std::string bytes, why;
  if (!ReadWholeFile(ntsFilePath, bytes)) return Failed(WithErrno("cannot read " + ntsFilePath, errno));
  if (!WriteFileAtomically(received, bytes, why)) return Failed(why);
  const Outcome recorded = context.receipts.Record(
      {received, 0, static_cast<long long>(bytes.size()), Sha256Hex(bytes), fs::path(ntsFilePath).filename().string(), ""});
  if (!recorded.ok()) {
    std::error_code ec;
    fs::remove(received, ec);  // the package's file stays, and is taken in next time
    return Failed(recorded.reason);
  }
  return Outcome::Success();
}

}  // namespace

bool DeleteFileIfPresent(const std::string& folder, const std::string& pattern, std::string& why) {
  for (const auto& file : ListMatching(folder, pattern)) {
    std::error_code ec;
    if (!fs::remove(file, ec) || ec) {
      why = "cannot delete " + file.string() + ": " + ec.message();
      return false;
    }
  }
  return true;
}

ProcessResult RunAndWait(const std::string& program, const std::string& programFolder, int lockFd,
                         const PendingEvents& pending) {
  ProcessOptions options;
  options.workingFolder = programFolder;
  options.inheritedFd = lockFd;
  ProcessResult run = RunAndWaitProgram(program, {}, options, pending);
  if (pending) pending();
  return run;
}

Outcome RunNtsTransfer(NtsTransferRequest& request, const std::string& ntsFilePath, const NtsContext& context) {
  const PathSettings& paths = context.state.paths;
  PackageLock lock(context.programFolder, context.pending);
  if (!lock.held()) return Failed(lock.why());
  if (IsReceive(request.mode) && IsUntakenLeftover(ntsFilePath, request, context)) {
    Outcome taken = TakeIn(ntsFilePath, request, context);
    if (taken.ok()) {
      taken.warnings.push_back("the package's receive file " + ntsFilePath +
                               " held data an earlier run did not take in: it was taken in now, and the package"
                               " was not run (the next run fetches what is new)");
    }
    return taken;
  }
  std::string why;
  if (!PrepareRequest(request, context, why)) return Failed(why);
  const std::string sendFile = paths.ediOutFil + TransferFileName(request.transferNo, request.centreCode,
                                                                  TransferFile::kSendCii);
  if (IsSend(request.mode) && !CopyFileAtomically(sendFile, ntsFilePath, why)) return Failed(why);

  const FileStamp before = StampOf(ntsFilePath);
  const ProcessResult run =
      RunAndWait(context.programFolder + kProgram, context.programFolder, lock.fd(), context.pending);
  if (!run.started) {
    return Outcome::Failure(kResultNts, kDetailNotStarted, "the TCP package: " + run.why).Retryable();
  }
  // A failed run that left the receive file as it was received nothing: it
  // may be tried again. One that wrote to it may not (the next transfer
  // takes the file in first).
  const bool untouched = StampOf(ntsFilePath) == before;
  auto failed = [&](Outcome outcome) { return untouched ? std::move(outcome).Retryable() : outcome; };
  std::string status;
  long long count = 0;
  if (!ReadPackageStatus(paths.ntsPath, run, status, why) ||
      !ReadLoggedCount(paths.ntsPath, request.transferNo, count, why)) {
    return failed(Failed(why));
  }
  if (status != kResultOk) {
    return failed(Outcome::Failure(kResultNts, status, "the TCP package reported status " + status +
                                                           " for transfer " + TransferDigits(request.transferNo)));
  }
  request.transferredCount = count;
  return IsReceive(request.mode) ? TakeIn(ntsFilePath, request, context) : Outcome::Success();
}

}  // namespace edi
