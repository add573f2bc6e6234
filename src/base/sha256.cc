#include "base/sha256.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <algorithm>

namespace edi {

struct Sha256::Context {
  EVP_MD_CTX* md = nullptr;
};

Sha256::Sha256() : context_(std::make_unique<Context>()) {
  context_->md = EVP_MD_CTX_new();
  EVP_DigestInit_ex(context_->md, EVP_sha256(), nullptr);
}

Sha256::~Sha256() { EVP_MD_CTX_free(context_->md); }

void Sha256::Update(std::string_view bytes) { EVP_DigestUpdate(context_->md, bytes.data(), bytes.size()); }

std::string Sha256::HexDigest() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(context_->md, digest, &length);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex.push_back(kHex[digest[i] >> 4]);
    hex.push_back(kHex[digest[i] & 15]);
  }
  return hex;
}

std::string Sha256Hex(std::string_view bytes) {
  Sha256 hash;
  hash.Update(bytes);
  return hash.HexDigest();
}

bool Sha256OfFile(const std::filesystem::path& file, long long offset, long long size, std::string& hex) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  Sha256 hash;
  char buffer[1 << 16];
  long long left = size;
  off_t at = static_cast<off_t>(offset);
  while (left > 0) {
    const ssize_t n = ::pread(fd, buffer, static_cast<size_t>(std::min<long long>(left, sizeof buffer)), at);
    if (n <= 0) {
      ::close(fd);
      return false;
    }
    hash.Update(std::string_view(buffer, static_cast<size_t>(n)));
    left -= n;
    at += n;
  }
  ::close(fd);
  hex = hash.HexDigest();
  return true;
}

}  // namespace edi
