#include "jobs/centre_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "base/outcome.h"
#include "base/text.h"
#include "db/null_value.h"

namespace edi {
namespace fs = std::filesystem;
namespace {

// A key for the centre that no other program's advisory locks are likely to
// use: FNV-1a over a prefix and the code.
long long AdvisoryKey(const std::string& centreCode) {
  unsigned long long hash = 14695981039346656037ull;
  for (unsigned char c : "edi-station centre " + centreCode) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return static_cast<long long>(hash);
}

// The folder of the lock files: beside a SQLite database, else in the
// station's folder.
fs::path LockFolder(const ProgramState& state) {
  const std::string sqlite = "sqlite:";
  if (state.connectionString.rfind(sqlite, 0) == 0) return state.connectionString.substr(sqlite.size()) + ".locks";
  return fs::path(state.settingsFolder) / "locks";
}

// The lock file's name: the code in hexadecimal, so that any code is a name.
std::string LockFileName(const std::string& centreCode) {
  static const char kHex[] = "0123456789abcdef";
  std::string name = "centre-";
  for (unsigned char c : centreCode) {
    name.push_back(kHex[c >> 4]);
    name.push_back(kHex[c & 15]);
  }
  return name + ".lock";
}

bool IsTrue(const std::optional<std::string>& value) {
  return value && (*value == "1" || *value == "t" || *value == "true");
}

}  // namespace

std::unique_ptr<CentreLock> CentreLock::TryLock(Database& db, const ProgramState& state, const std::string& centreCode,
                                                std::string& why) {
  if (db.dialect() == SqlDialect::kPostgres) {
    const long long key = AdvisoryKey(centreCode);
    ResultSet rs;
    if (!db.Query("SELECT pg_try_advisory_lock(:1) AS taken", {key}, rs)) {
      why = "cannot lock centre " + centreCode + ": " + db.LastError();
      return nullptr;
    }
    if (!IsTrue(rs.Get("taken"))) {
      why = "centre " + centreCode + " is being received by another run (of this or another station)";
      return nullptr;
    }
    return std::unique_ptr<CentreLock>(new CentreLock(db, key, -1));
  }
  const fs::path folder = LockFolder(state);
  std::error_code ec;
  fs::create_directories(folder, ec);
  const fs::path file = folder / LockFileName(centreCode);
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) {
    why = WithErrno("cannot lock centre " + centreCode + " (" + file.string() + ")", errno);
    return nullptr;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    why = error == EWOULDBLOCK ? "centre " + centreCode + " is being received by another run"
                               : WithErrno("cannot lock centre " + centreCode + " (" + file.string() + ")", error);
    return nullptr;
  }
  return std::unique_ptr<CentreLock>(new CentreLock(db, 0, fd));
}

CentreLock::~CentreLock() {
  if (fd_ >= 0) {
    ::close(fd_);  // closing releases the lock
  } else {
    ResultSet rs;
    db_.Query("SELECT pg_advisory_unlock(:1) AS released", {key_}, rs);
  }
}

}  // namespace edi
