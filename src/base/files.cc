#include "base/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/text.h"

namespace edi {
namespace fs = std::filesystem;
namespace {

bool MatchFrom(std::string_view p, std::string_view n) {
  while (!p.empty()) {
    if (p.front() == '*') {
      p.remove_prefix(1);
      for (size_t skip = 0; skip <= n.size(); ++skip) {
        if (MatchFrom(p, n.substr(skip))) return true;
      }
      return false;
    }
    if (n.empty() || (p.front() != '?' && FoldAscii(p.front()) != FoldAscii(n.front()))) return false;
    p.remove_prefix(1);
    n.remove_prefix(1);
  }
  return n.empty();
}

std::string Errno(const std::string& what, const fs::path& path) {
  return what + " " + path.string() + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool MatchWildcard(std::string_view pattern, std::string_view name) { return MatchFrom(pattern, name); }

std::vector<fs::path> ListMatching(const fs::path& folder, std::string_view pattern) {
  std::vector<fs::path> found;
  const size_t slash = pattern.find('/');
  std::error_code ec;
  if (slash != std::string_view::npos) {
    const std::string_view sub = pattern.substr(0, slash);
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
      if (entry.is_directory(ec) && MatchWildcard(sub, entry.path().filename().string())) {
        auto inner = ListMatching(entry.path(), pattern.substr(slash + 1));
        found.insert(found.end(), inner.begin(), inner.end());
      }
    }
  } else {
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
      if (entry.is_regular_file(ec) && MatchWildcard(pattern, entry.path().filename().string())) {
        found.push_back(entry.path());
      }
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

bool WriteFileAtomically(const fs::path& to, std::string_view bytes, std::string& why) {
  std::string temp = (to.parent_path() / ("." + to.filename().string() + ".part-XXXXXX")).string();
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    why = Errno("cannot create a temporary file for", to);
    return false;
  }
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  const bool written = WriteAll(fd, bytes.data(), bytes.size());
  const int writeErrno = errno;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed) {
    errno = written ? errno : writeErrno;
    why = Errno("cannot write", to);
    ::unlink(temp.c_str());
    return false;
  }
  if (std::rename(temp.c_str(), to.c_str()) != 0) {
    why = Errno("cannot rename a copy onto", to);
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

bool ReadWholeFile(const fs::path& path, std::string& bytes, bool followLinks) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW | O_NONBLOCK));
  if (fd < 0) return false;
  struct stat info;
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) || (!followLinks && !S_ISREG(info.st_mode))) {
    ::close(fd);
    errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

namespace {

// Copies what is left of `in` to `out`: in the kernel (copy_file_range, no
// pass through this process's memory) where the file systems allow it,
// else through a buffer. `read` and `written` say which side failed.
void CopyBytes(int in, int out, bool& read, bool& written) {
  for (;;) {
    const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
    if (n > 0) continue;
    if (n == 0) return;
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
      written = false;  // copy_file_range does not say which side failed: the copy did
      return;
    }
    break;  // across file systems that cannot, or a kernel without it
  }
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    read = n >= 0;
    if (n <= 0) return;
    written = WriteAll(out, buffer.data(), static_cast<size_t>(n));
    if (!written) return;
  }
}

// Copies `from` into a private temporary file beside `to` piece by piece (a
// file of any size passes through a small buffer) and renames it onto `to`.
bool CopyThroughTemporary(const fs::path& from, const fs::path& to, bool followLinks, std::string& why) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW | O_NONBLOCK));
  struct stat info {};
  if (in < 0 || ::fstat(in, &info) != 0 || S_ISDIR(info.st_mode) || (!followLinks && !S_ISREG(info.st_mode))) {
    if (in >= 0 && (S_ISDIR(info.st_mode) || !S_ISREG(info.st_mode))) errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    const int error = errno;
    if (in >= 0) ::close(in);
    errno = error;
    why = !followLinks && (errno == ELOOP || errno == EINVAL) ? from.string() + " is not a regular file"
                                                             : Errno("cannot read", from);
    return false;
  }
  std::string temp = (to.parent_path() / ("." + to.filename().string() + ".part-XXXXXX")).string();
  const int out = ::mkostemp(temp.data(), O_CLOEXEC);
  if (out < 0) {
    why = Errno("cannot create a temporary file for", to);
    ::close(in);
    return false;
  }
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(out, 0666 & ~mask);
  bool read = true, written = true;
  CopyBytes(in, out, read, written);
  written = written && ::fsync(out) == 0;
  const int error = errno;
  const bool closed = ::close(out) == 0;
  ::close(in);
  if (!read || !written || !closed) {
    errno = error;
    why = read ? Errno("cannot write", to) : Errno("cannot read", from);
    ::unlink(temp.c_str());
    return false;
  }
  if (std::rename(temp.c_str(), to.c_str()) != 0) {
    why = Errno("cannot rename a copy onto", to);
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool CopyFileAtomically(const fs::path& from, const fs::path& to, std::string& why) {
  return CopyThroughTemporary(from, to, true, why);
}

bool CopyRegularFileAtomically(const fs::path& from, const fs::path& to, std::string& why) {
  return CopyThroughTemporary(from, to, false, why);
}

}  // namespace edi
