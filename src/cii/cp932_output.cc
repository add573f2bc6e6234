#include "cii/cp932_output.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace edi::cii {
namespace {

iconv_t& Converter() {
  static iconv_t converter = iconv_open("CP932", "UTF-8");
  return converter;
}

// libxml2's output function contract: converts `*inlen` UTF-8 bytes of `in`
// into at most `*outlen` bytes of `out`; on return both hold what was
// consumed and written. Returns the bytes written, or -2 at a character
// Windows-31J cannot hold (the caller writes a character reference for it
// and goes on after it). An incomplete character at the end of `in` is left
// for the next call.
int Utf8ToCp932(unsigned char* out, int* outlen, const unsigned char* in, int* inlen) {
  const unsigned char* const inEnd = in + *inlen;
  unsigned char* const outStart = out;
  unsigned char* const outEnd = out + *outlen;
  const unsigned char* const inStart = in;
  int result = 0;
  while (in < inEnd && out < outEnd) {
    if (*in < 0x80) {
      *out++ = *in++;
      continue;
    }
    // A run of non-ASCII characters goes through iconv in one call.
    const unsigned char* runEnd = in;
    while (runEnd < inEnd && *runEnd >= 0x80) ++runEnd;
    char* from = reinterpret_cast<char*>(const_cast<unsigned char*>(in));
    char* to = reinterpret_cast<char*>(out);
    size_t fromLeft = static_cast<size_t>(runEnd - in), toLeft = static_cast<size_t>(outEnd - out);
    const size_t done = iconv(Converter(), &from, &fromLeft, &to, &toLeft);
    in = reinterpret_cast<const unsigned char*>(from);
    out = reinterpret_cast<unsigned char*>(to);
    if (done == static_cast<size_t>(-1)) {
      if (errno == EILSEQ) result = -2;
      break;  // EILSEQ: the character at `in`; EINVAL: an incomplete one; E2BIG: no room
    }
  }
  *inlen = static_cast<int>(in - inStart);
  *outlen = static_cast<int>(out - outStart);
  return result == -2 ? -2 : *outlen;
}

}  // namespace

xmlCharEncodingHandlerPtr Cp932OutputEncoder() {
  static xmlCharEncodingHandlerPtr handler =
      Converter() == reinterpret_cast<iconv_t>(-1) ? nullptr
                                                   : xmlNewCharEncodingHandler("EDI-CP932-OUTPUT", nullptr, Utf8ToCp932);
  return handler;
}

}  // namespace edi::cii
