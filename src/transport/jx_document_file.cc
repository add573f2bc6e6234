#include "transport/jx_document_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "base/outcome.h"

namespace edi {
namespace {

constexpr size_t kBufferSize = 1 << 20;

bool WriteAll(int fd, const char* bytes, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Makes a rename or a new file in `file`'s folder durable.
void SyncFolderOf(const std::string& file) {
  const std::string folder = std::filesystem::path(file).parent_path().string();
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Renames `from` onto `to` only when `to` does not exist.
bool RenameNew(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) return false;
  SyncFolderOf(to);
  return true;
}

// Copies `size` bytes of `from` from `offset` into the new file `to`.
bool CopyRange(const std::string& from, long long offset, long long size, const std::string& to, std::string& why) {
  const int in = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (in < 0) {
    why = WithErrno("cannot read " + from, errno);
    return false;
  }
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (out < 0) {
    why = WithErrno("cannot create " + to, errno);
    ::close(in);
    return false;
  }
  std::string buffer(kBufferSize, '\0');
  bool ok = true;
  for (long long left = size; ok && left > 0;) {
    const ssize_t n = ::pread(in, buffer.data(), static_cast<size_t>(std::min<long long>(left, kBufferSize)),
                              static_cast<off_t>(offset + size - left));
    ok = n > 0 && WriteAll(out, buffer.data(), static_cast<size_t>(n));
    left -= n > 0 ? n : 0;
  }
  ok = ok && ::fsync(out) == 0;
  if (!ok) why = WithErrno("cannot copy " + from + " to " + to, errno);
  ::close(in);
  if (::close(out) != 0 && ok) {
    ok = false;
    why = WithErrno("cannot write " + to, errno);
  }
  if (!ok) ::unlink(to.c_str());
  return ok;
}

}  // namespace

IncomingDocument::IncomingDocument(std::string tempPath) : tempPath_(std::move(tempPath)) {}

IncomingDocument::~IncomingDocument() { Discard(); }

bool IncomingDocument::Open(std::string& why) {
  buffer_.reserve(kBufferSize + 4096);
  fd_ = ::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    why = WithErrno("cannot create " + tempPath_, errno);
    return false;
  }
  return true;
}

bool IncomingDocument::Fail(std::string why) {
  if (error_.empty()) error_ = std::move(why);
  return false;
}

bool IncomingDocument::Flush() {
  hash_.Update(buffer_);
  size_ += static_cast<long long>(buffer_.size());
  const bool written = WriteAll(fd_, buffer_.data(), buffer_.size());
  buffer_.clear();
  return written || Fail(WithErrno("cannot write " + tempPath_, errno));
}

bool IncomingDocument::Take(std::string_view base64Text) {
  if (!error_.empty() || fd_ < 0) return false;
  if (!decoder_.Update(base64Text, buffer_)) {
    badBase64_ = true;
    return Fail("the document's data is not valid base64");
  }
  return buffer_.size() < kBufferSize || Flush();
}

bool IncomingDocument::Finish() {
  if (!error_.empty() || fd_ < 0) return false;
  if (!decoder_.Finish(buffer_)) {
    badBase64_ = true;
    return Fail("the document's data ends in the middle of a base64 group");
  }
  if (!Flush()) return false;
  if (::fsync(fd_) != 0) return Fail(WithErrno("cannot write " + tempPath_, errno));
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0) return Fail(WithErrno("cannot write " + tempPath_, errno));
  sha256_ = hash_.HexDigest();
  return true;
}

void IncomingDocument::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  ::unlink(tempPath_.c_str());
}

bool IncomingDocument::PlaceAs(const std::string& target, PlacedDocument& placed, std::string& why) {
  if (!RenameNew(tempPath_, target)) {
    why = WithErrno("cannot store the document as " + target, errno);
    return false;
  }
  placed = {target, 0, size_};
  return true;
}

bool IncomingDocument::AppendTo(const std::string& target, PlacedDocument& placed, std::string& why) {
  if (RenameNew(tempPath_, target)) {
    placed = {target, 0, size_};
    return true;
  }
  if (errno != EEXIST) {
    why = WithErrno("cannot store the document as " + target, errno);
    return false;
  }
  const int out = ::open(target.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
  struct stat status {};
  if (out < 0 || ::fstat(out, &status) != 0) {
    why = WithErrno("cannot append to " + target, errno);
    if (out >= 0) ::close(out);
    return false;
  }
  const int in = ::open(tempPath_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  std::string buffer(kBufferSize, '\0');
  bool ok = in >= 0;
  for (ssize_t n = 0; ok && (n = ::read(in, buffer.data(), buffer.size())) != 0;) {
    ok = n > 0 && WriteAll(out, buffer.data(), static_cast<size_t>(n));
  }
  ok = ok && ::fsync(out) == 0;
  if (!ok) {
    why = WithErrno("cannot append the document to " + target, errno);
    // The file is cut back to what it held before.
    if (::ftruncate(out, status.st_size) != 0) why += "; it could not be cut back either";
  }
  if (in >= 0) ::close(in);
  ::close(out);
  if (!ok) return false;
  ::unlink(tempPath_.c_str());
  placed = {target, static_cast<long long>(status.st_size), size_};
  return true;
}

bool IncomingDocument::SetAside(const std::string& copy, std::string& why) {
  if (RenameNew(tempPath_, copy)) return true;
  if (errno != EXDEV) {
    why = WithErrno("cannot keep a copy as " + copy, errno);
    return false;
  }
  if (!CopyRange(tempPath_, 0, size_, copy, why)) return false;
  ::unlink(tempPath_.c_str());
  return true;
}

bool TakeBackPlaced(const PlacedDocument& placed, const std::string& copy, std::string& why) {
  struct stat status {};
  if (::lstat(placed.file.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
    why = WithErrno("cannot find " + placed.file + " to take the document back out", errno);
    return false;
  }
  const bool whole = placed.offset == 0 && status.st_size == placed.size;
  if (whole && RenameNew(placed.file, copy)) return true;
  std::string copyFailed;
  const bool copied = CopyRange(placed.file, placed.offset, placed.size, copy, copyFailed);
  // The file is cut back even without a copy: the server hands the
  // document out again, and the transfer must not convert it.
  const bool cut = whole ? ::unlink(placed.file.c_str()) == 0
                         : ::truncate(placed.file.c_str(), static_cast<off_t>(placed.offset)) == 0;
  if (!cut) why = WithErrno("cannot cut the document back out of " + placed.file, errno);
  if (!copied) why += (why.empty() ? "" : "; ") + copyFailed;
  return copied && cut;
}

}  // namespace edi
