#include "base/base64.h"

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

}  // namespace edi
