// A look at a mail message's MIME structure before the mail library parses
// it, so that a crafted or broken message is judged on its own instead of
// crashing or blocking the receive: the size of the message, the depth of
// its nested parts and their number are bounded, every multipart must name
// its boundary and close it, and every base64 body must be base64.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace edi {

struct MimeLimits {
  size_t maxBytes = 64u << 20;  // one message
  int maxDepth = 32;            // multiparts inside multiparts
  int maxParts = 1000;          // parts of all levels together
};

// True when `message` (the raw bytes, headers and body) keeps within
// `limits` and is well formed in the ways above; otherwise false with `why`.
// Linear in the message's size; never recurses deeper than maxDepth.
bool CheckMimeStructure(std::string_view message, std::string& why, const MimeLimits& limits = {});

}  // namespace edi
