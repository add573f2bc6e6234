// SHA-256 content hashes of received files (OpenSSL's EVP digest), as 64
// lower-case hexadecimal digits.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace edi {

// A hash fed piece by piece, for content that arrives in parts.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(std::string_view bytes);
  // The hash of everything fed so far; the object is then spent.
  std::string HexDigest();

 private:
  struct Context;
  std::unique_ptr<Context> context_;
};

// The hash of `bytes`.
std::string Sha256Hex(std::string_view bytes);

// The hash and size of `size` bytes of `file` from `offset`; false when the
// file cannot be read or is shorter.
bool Sha256OfFile(const std::filesystem::path& file, long long offset, long long size, std::string& hex);

}  // namespace edi
