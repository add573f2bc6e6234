// Base64 (RFC 4648) of bytes, as mail bodies carry attachments.
#pragma once

#include <string>
#include <string_view>

namespace edi {

// `bytes` in base64; with `lineBreaks` a CR LF after every 76 characters.
std::string Base64(std::string_view bytes, bool lineBreaks = false);

}  // namespace edi
