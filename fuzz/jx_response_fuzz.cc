// Feeds arbitrary bytes, in pieces, to the reader of JX server responses,
// with the document's data decoded as a JX receive decodes it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/base64.h"
#include "transport/jx_soap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the size of the pieces the bytes arrive in.
  const size_t piece = 1 + data[0] % 64;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  edi::Base64Decoder decoder;
  std::string decoded;
  edi::JxResponseReader reader([&](std::string_view text) {
    const bool ok = decoder.Update(text, decoded);
    if (decoded.size() > (1 << 16)) decoded.clear();
    return ok;
  });
  bool ok = true;
  for (size_t at = 0; ok && at < bytes.size(); at += piece) ok = reader.Feed(bytes.substr(at, piece));
  if (ok && reader.Finish()) {
    const edi::JxResponse& response = reader.response();
    if (response.hasData) (void)decoder.Finish(decoded);
    // A response the reader accepted is either a fault or names its operation.
    if (!response.fault && response.operation.empty()) __builtin_trap();
  }
  return 0;
}
