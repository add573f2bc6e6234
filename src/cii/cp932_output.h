// The output encoder of documents declared "Shift_JIS": Windows-31J, as the
// system's iconv writes it, but with runs of ASCII (the tags, the
// indentation, most values) copied as they are. Only the other characters go
// through iconv, so the bytes are those the iconv encoder alone would write.
#pragma once

#include <libxml/encoding.h>

namespace edi::cii {

// The encoder for xmlOutputBufferCreateIO (one for the process; never
// freed). nullptr when iconv has no CP932.
xmlCharEncodingHandlerPtr Cp932OutputEncoder();

}  // namespace edi::cii
