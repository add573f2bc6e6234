#include "report/display_width.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace edi::report {

size_t DisplayWidth(std::string_view utf8) {
  size_t width = 0;
  int32_t i = 0;
  const auto length = static_cast<int32_t>(utf8.size());
  while (i < length) {
    UChar32 c;
    U8_NEXT(reinterpret_cast<const uint8_t*>(utf8.data()), i, length, c);
    if (c < 0) {
      ++width;  // a broken byte shows as one replacement character
      continue;
    }
    const int eastAsian = u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH);
    if (u_getCombiningClass(c) != 0 || c == 0x200B) continue;
    width += eastAsian == U_EA_FULLWIDTH || eastAsian == U_EA_WIDE ? 2 : 1;
  }
  return width;
}

std::string PadToWidth(std::string_view utf8, size_t width) {
  std::string out(utf8);
  const size_t used = DisplayWidth(utf8);
  if (used < width) out.append(width - used, ' ');
  return out;
}

}  // namespace edi::report
