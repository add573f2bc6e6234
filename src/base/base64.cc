#include "base/base64.h"

#include <openssl/evp.h>

#include <climits>

namespace edi {

std::string Base64(std::string_view bytes, bool lineBreaks) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve(bytes.size() / 3 * 4 + 4 + (lineBreaks ? bytes.size() / 57 * 2 : 0));
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const unsigned n = (static_cast<unsigned char>(bytes[i]) << 16) |
                       (i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) << 8 : 0) |
                       (i + 2 < bytes.size() ? static_cast<unsigned char>(bytes[i + 2]) : 0);
    out += kDigits[(n >> 18) & 63];
    out += kDigits[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
    if (lineBreaks && (i / 3 + 1) % 19 == 0) out += "\r\n";
  }
  return out;
}

struct Base64Decoder::Context {
  EVP_ENCODE_CTX* evp = EVP_ENCODE_CTX_new();
  ~Context() { EVP_ENCODE_CTX_free(evp); }
};

Base64Decoder::Base64Decoder() : context_(std::make_unique<Context>()) { EVP_DecodeInit(context_->evp); }

Base64Decoder::~Base64Decoder() = default;

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Base64 digits, padding and blanks only: the EVP decoder would take "-"
// as the end of the text and drop what follows it.
bool IsBase64Text(std::string_view text) {
  for (char c : text) {
    const bool digit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
                       c == '/' || c == '=';
    if (!digit && !IsBlank(c)) return false;
  }
  return true;
}

}  // namespace

bool Base64Decoder::Update(std::string_view text, std::string& out) {
  if (!IsBase64Text(text)) failed_ = true;
  // After the padding only blanks may follow.
  if (padded_ && text.find_first_not_of(" \t\r\n") != std::string_view::npos) failed_ = true;
  // The decoder takes an int length and writes at most 3/4 of its input
  // plus what it held back, so the text goes in slices of bounded size.
  constexpr size_t kSlice = 1 << 20;
  while (!failed_ && !text.empty()) {
    const std::string_view slice = text.substr(0, kSlice);
    text.remove_prefix(slice.size());
    const size_t at = out.size();
    out.resize(at + slice.size() / 4 * 3 + 80);
    int written = 0;
    const int rc = EVP_DecodeUpdate(context_->evp, reinterpret_cast<unsigned char*>(out.data() + at), &written,
                                    reinterpret_cast<const unsigned char*>(slice.data()),
                                    static_cast<int>(slice.size()));
    out.resize(at + static_cast<size_t>(written > 0 ? written : 0));
    if (rc < 0) failed_ = true;
    if (rc == 0) padded_ = true;
  }
  return !failed_;
}

bool Base64Decoder::Finish(std::string& out) {
  if (failed_) return false;
  unsigned char tail[80];
  int written = 0;
  failed_ = EVP_DecodeFinal(context_->evp, tail, &written) != 1;
  if (written > 0) out.append(reinterpret_cast<const char*>(tail), static_cast<size_t>(written));
  return !failed_;
}

}  // namespace edi
