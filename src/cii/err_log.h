// The converters' log ERR.LOG: one line per event, a four-digit code followed
// by the message, CR LF, appended (UTF-8).
#pragma once

#include <string_view>

#include "cii/converter_state.h"

namespace edi::cii {

// Converter error codes.
inline constexpr int kErrNoFormatInfo = 1;
inline constexpr int kErrNoFormatInfoLocal = 2;  // local to CII: no FL1902 row
inline constexpr int kErrNoCiiRows = 3;
inline constexpr int kErrNoLocalRows = 4;
inline constexpr int kErrMultiNo = 5;
inline constexpr int kErrTruncated = 7;
inline constexpr int kErrBlockId = 8;
inline constexpr int kErrLengthPrefix = 9;
inline constexpr int kErrUnknownTag = 10;
inline constexpr int kErrMarkerFD = 11;
inline constexpr int kErrLengthMismatch = 12;
inline constexpr int kErrSpecialByte = 13;
inline constexpr int kErrZeroLength = 15;
inline constexpr int kErrStorageMode = 16;   // a storage mode other than "M", space, "S"
inline constexpr int kErrGroupMarker = 17;   // a group marker with no group row, or out of place
inline constexpr int kErrRepetitions = 18;   // more repetitions than 繰返し数
inline constexpr int kErrNumberOverflow = 19;  // more integer digits than the field holds
inline constexpr int kErrDatabase = 20;      // a format table could not be read
inline constexpr int kErrAttributePair = 21;
inline constexpr int kErrFile = 22;          // a file could not be opened or written
inline constexpr int kErrXmlParse = 23;      // a document that does not parse
inline constexpr int kErrNoGroupRow = 24;    // an element or group without format row
inline constexpr int kErrNoGroupHeader = 25; // a message before any group header
inline constexpr int kErrHexText = 26;       // a "B" text that is not hexadecimal pairs
inline constexpr int kErrUnmappable = 27;    // a character outside Windows-31J
inline constexpr int kErrCharCode = 28;      // an unknown 16-bit character code byte
inline constexpr int kErrNotANumber = 29;    // a numeric or date text that is not a number

// Appends "<code as four digits><message>\r\n" to state.errLogPath. With a
// non-zero code and keepError 0 it also sets ConvErrorText to the code.
void WriteErrLog(ConverterState& state, int code, std::string_view message, int keepError);

// True for a format load that found its rows; otherwise logs `notFoundCode`
// (or kErrDatabase when the table could not be read) as a stopping error.
bool LoadedOrLogged(ConverterState& state, LoadStatus status, int notFoundCode);

// The code as four digits ("0000" pattern).
std::string FourDigits(int code);

}  // namespace edi::cii
