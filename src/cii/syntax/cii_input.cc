#include "cii/syntax/cii_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "cii/syntax/cii_layout.h"

namespace edi::cii {
namespace {
constexpr size_t kBufferSize = 1 << 18;
}

CiiInput::~CiiInput() { Close(); }

bool CiiInput::Open(const std::filesystem::path& path) {
  Close();
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return false;
  struct stat info;
  if (::fstat(fd_, &info) != 0 || S_ISDIR(info.st_mode)) {
    Close();
    return false;
  }
  buffer_.resize(kBufferSize);
  data_ = buffer_.data();
  return true;
}

void CiiInput::OpenMemory(std::string_view bytes) {
  Close();
  memory_ = bytes;
  data_ = reinterpret_cast<const uint8_t*>(memory_.data());
  end_ = memory_.size();
}

void CiiInput::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  memory_ = {};
  data_ = nullptr;
  pos_ = end_ = 0;
  consumed_ = 0;
  blockRemaining_ = 0;
  readFailed_ = false;
}

bool CiiInput::Fill() {
  if (fd_ < 0) return false;
  consumed_ += end_;
  pos_ = end_ = 0;
  for (;;) {
    ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
    if (n > 0) {
      end_ = static_cast<size_t>(n);
      return true;
    }
    if (n == 0) return false;
    if (errno != EINTR) {
      readFailed_ = true;
      return false;
    }
  }
}

inline bool CiiInput::NextByte(uint8_t& out) {
  if (pos_ >= end_ && !Fill()) return false;
  out = data_[pos_++];
  return true;
}

bool CiiInput::ReadFileBytes(uint8_t* out, int& remaining) {
  while (remaining > 0) {
    if (pos_ >= end_ && !Fill()) return true;
    const size_t take = std::min(static_cast<size_t>(remaining), end_ - pos_);
    std::memcpy(out, data_ + pos_, take);
    out += take;
    pos_ += take;
    remaining -= static_cast<int>(take);
  }
  return false;
}

bool CiiInput::SetStorageMode(char mode) {
  if (!IsKnownStorageMode(mode)) return false;
  blockData_ = static_cast<int>(BlockDataSize(mode));
  return true;
}

void CiiInput::BeginMessage(size_t headerBytes) {
  blockRemaining_ = blockData_ - static_cast<int>(headerBytes);
}

bool CiiInput::SkipRestOfBlock() {
  while (blockRemaining_ > 0) {
    if (pos_ >= end_ && !Fill()) return false;
    const size_t take = std::min(static_cast<size_t>(blockRemaining_), end_ - pos_);
    pos_ += take;
    blockRemaining_ -= static_cast<int>(take);
  }
  return true;
}

bool CiiInput::ReadCiiByte(uint8_t& out) {
  if (blockRemaining_ > 0) {
    if (!NextByte(out)) return false;
    --blockRemaining_;
    return true;
  }
  uint8_t control;
  if (!NextByte(control)) return false;
  blockRemaining_ = blockData_ - 1;
  return NextByte(out);
}

bool CiiInput::ReadCiiBytes(size_t n, std::string& out) {
  out.clear();
  out.reserve(n);
  while (out.size() < n) {
    if (blockRemaining_ <= 0) {
      uint8_t control;
      if (!NextByte(control)) return false;
      blockRemaining_ = blockData_;
    }
    if (pos_ >= end_ && !Fill()) return false;
    const size_t take = std::min({n - out.size(), static_cast<size_t>(blockRemaining_), end_ - pos_});
    out.append(reinterpret_cast<const char*>(data_ + pos_), take);
    pos_ += take;
    blockRemaining_ -= static_cast<int>(take);
  }
  return true;
}

bool CiiInput::ReadElementLength(long& remaining, long& length, bool& unknownPrefix) {
  unknownPrefix = false;
  length = 0;
  uint8_t b;
  if (!ReadCiiByte(b)) return false;
  --remaining;
  if (b <= kMaxOneByteTag) {
    length = b;
    return true;
  }
  if (b != kLongLength) {
    unknownPrefix = true;
    return true;
  }
  uint8_t high, low;
  if (!ReadCiiByte(high) || !ReadCiiByte(low)) return false;
  remaining -= 2;
  length = (static_cast<long>(high) << 8) | low;
  return true;
}

}  // namespace edi::cii
