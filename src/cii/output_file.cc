#include "cii/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>

namespace edi::cii {
namespace {

constexpr size_t kBufferSize = 1 << 18;

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::string Refusal(const std::filesystem::path& path) {
  return "refused to write " + path.string() + ": it is the input file";
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileIdentity{info.st_dev, info.st_ino};
}

AppendedFile::~AppendedFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool AppendedFile::Fail(const char* what) {
  error_ = std::string("cannot ") + what + " " + path_.string() + ": " + std::strerror(errno);
  return false;
}

bool AppendedFile::Open(const std::filesystem::path& path, const std::optional<FileIdentity>& input,
                        OutputJournal* journal) {
  path_ = path;
  error_.clear();
  buffer_.clear();
  if (input && IdentityOf(path) == input) {
    error_ = Refusal(path);
    return false;
  }
  struct stat link;
  created_ = ::lstat(path.c_str(), &link) != 0 && errno == ENOENT;
  if (created_) {
    std::string name = (path.parent_path() / ("." + path.filename().string() + ".part-XXXXXX")).string();
    fd_ = ::mkostemp(name.data(), O_CLOEXEC | O_APPEND);
    if (fd_ < 0) return Fail("create a temporary file for");
    temp_ = name;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
    formerSize_ = 0;
  } else {
    // O_NOFOLLOW: a link planted at the output's name is never written through.
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd_ < 0) return Fail(errno == ELOOP ? "follow the link at" : "open");
    struct stat info;
    if (::fstat(fd_, &info) != 0) return Fail("open");
    if (!S_ISREG(info.st_mode)) {
      errno = EISDIR;
      ::close(fd_);
      fd_ = -1;
      return Fail("open");
    }
    formerSize_ = info.st_size;
  }
  std::string why;
  if (journal != nullptr && !journal->Record(path.string(), created_ ? -1 : formerSize_, why)) {
    Drop();
    path_ = path;
    error_ = "cannot write " + path.string() + ": " + why;
    return false;
  }
  buffer_.reserve(kBufferSize);
  return true;
}

bool AppendedFile::Keep() {
  if (temp_.empty()) return true;
  // The created file takes its name only if no file has taken it meanwhile.
  if (::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, path_.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno != EINVAL && errno != ENOSYS) return Fail("give its name to");
    if (::link(temp_.c_str(), path_.c_str()) != 0) return Fail("give its name to");
    ::unlink(temp_.c_str());
  }
  temp_.clear();
  return true;
}

bool AppendedFile::Write(std::string_view bytes) {
  if (fd_ < 0) return false;
  if (buffer_.size() + bytes.size() > kBufferSize && !Flush()) return false;
  if (bytes.size() >= kBufferSize) return WriteAll(fd_, bytes.data(), bytes.size()) || Fail("write");
  buffer_.append(bytes);
  return true;
}

bool AppendedFile::Flush() {
  if (buffer_.empty()) return true;
  const bool ok = WriteAll(fd_, buffer_.data(), buffer_.size());
  buffer_.clear();
  return ok || Fail("write");
}

bool AppendedFile::Close() {
  if (fd_ < 0) return error_.empty();
  const bool flushed = Flush();
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && flushed) return Fail("close");
  return flushed;
}

void AppendedFile::Drop() {
  buffer_.clear();
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (path_.empty()) return;
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  } else if (created_) {
    ::unlink(path_.c_str());  // created and kept: removed again
  } else if (::truncate(path_.c_str(), formerSize_) != 0) {
    std::fprintf(stderr, "cannot cut %s back to %lld bytes: %s\n", path_.c_str(),
                 static_cast<long long>(formerSize_), std::strerror(errno));
  }
  path_.clear();
}

ReplacedFile::~ReplacedFile() { Drop(); }

bool ReplacedFile::Fail(const std::filesystem::path& path, const char* what) {
  error_ = std::string("cannot ") + what + " " + path.string() + ": " + std::strerror(errno);
  return false;
}

bool ReplacedFile::Create(const std::filesystem::path& target, const std::optional<FileIdentity>& input) {
  Drop();
  target_ = target;
  error_.clear();
  if (input && IdentityOf(target) == input) {
    error_ = Refusal(target);
    return false;
  }
  std::string name = target.string() + ".part-XXXXXX";
  fd_ = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) return Fail(target, "create a temporary file for");
  temp_ = name;
  // mkstemp makes the file private; the document gets the usual mode.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd_, 0666 & ~mask);
  return true;
}

bool ReplacedFile::Write(std::string_view bytes) {
  if (fd_ < 0 || !error_.empty()) return false;
  return WriteAll(fd_, bytes.data(), bytes.size()) || Fail(target_, "write");
}

bool ReplacedFile::Close() {
  if (fd_ < 0) return !temp_.empty();
  const int fd = fd_;
  fd_ = -1;
  return ::close(fd) == 0 || Fail(target_, "write");
}

bool ReplacedFile::Keep() {
  if (!Close()) return false;
  if (std::rename(temp_.c_str(), target_.c_str()) != 0) return Fail(target_, "rename a document onto");
  temp_.clear();
  return true;
}

void ReplacedFile::Drop() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

std::unique_ptr<Output> FileOutputs::Append(const std::string& name, std::string& error) {
  auto file = std::make_unique<AppendedFile>();
  if (file->Open(name, input_, journal_)) return file;
  error = file->error();
  return nullptr;
}

std::unique_ptr<Output> FileOutputs::Replace(const std::string& name, std::string& error) {
  auto file = std::make_unique<ReplacedFile>();
  if (file->Create(name, input_)) return file;
  error = file->error();
  return nullptr;
}

}  // namespace edi::cii
