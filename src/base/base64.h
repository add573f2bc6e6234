// Base64 (RFC 4648) of bytes, as mail bodies and SOAP messages carry them.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace edi {

// `bytes` in base64; with `lineBreaks` a CR LF after every 76 characters.
std::string Base64(std::string_view bytes, bool lineBreaks = false);

// A base64 decoder fed piece by piece (OpenSSL's EVP decoder): text that
// arrives in parts of any size, line breaks and blanks anywhere, is decoded
// without ever holding the whole of it.
class Base64Decoder {
 public:
  Base64Decoder();
  ~Base64Decoder();
  Base64Decoder(const Base64Decoder&) = delete;
  Base64Decoder& operator=(const Base64Decoder&) = delete;

  // Decodes the next piece of text, appending the bytes it completes to
  // `out`. False when the text is not base64 (the decoder is then spent).
  bool Update(std::string_view text, std::string& out);
  // Ends the text: false when it stopped in the middle of a group.
  bool Finish(std::string& out);

 private:
  struct Context;
  std::unique_ptr<Context> context_;
  bool failed_ = false;
  bool padded_ = false;  // the text's padding was read
};

}  // namespace edi
