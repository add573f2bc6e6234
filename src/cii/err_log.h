// The converters' log ERR.LOG and their error codes.
//
// ERR.LOG: one line per event, a four-digit code followed by the message,
// CR LF, appended (UTF-8). The log only logs; what stopped a conversion is
// the conversion's own result (ConversionResult), returned by its entry.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "base/language.h"
#include "cii/format_tables.h"
#include "cii/syntax/cii_layout.h"

namespace edi::cii {

// Converter error codes. The byte layer's damage and refusal codes keep
// their numbers here.
inline constexpr int kErrNoFormatInfo = 1;
inline constexpr int kErrNoFormatInfoLocal = 2;  // local to CII: no FL1902 row
inline constexpr int kErrNoCiiRows = 3;
inline constexpr int kErrNoLocalRows = 4;
inline constexpr int kErrMultiNo = 5;
inline constexpr int kErrTruncated = damage::kTruncated;
inline constexpr int kErrBlockId = damage::kBlockId;
inline constexpr int kErrLengthPrefix = damage::kLengthPrefix;
inline constexpr int kErrUnknownTag = 10;
inline constexpr int kErrMarkerFD = damage::kMarkerFD;
inline constexpr int kErrLengthMismatch = 12;
inline constexpr int kErrSpecialByte = damage::kSpecialByte;
inline constexpr int kErrZeroLength = 15;
inline constexpr int kErrStorageMode = damage::kStorageMode;
inline constexpr int kErrGroupMarker = 17;     // a group marker with no group row, or out of place
inline constexpr int kErrRepetitions = 18;     // more repetitions than 繰返し数
inline constexpr int kErrNumberOverflow = 19;  // a number that does not fit its field, or no number
inline constexpr int kErrDatabase = 20;        // a format table could not be read
inline constexpr int kErrAttributePair = 21;
inline constexpr int kErrFile = 22;            // a file could not be opened, read or written
inline constexpr int kErrXmlParse = 23;        // a document that does not parse
inline constexpr int kErrNoGroupRow = 24;      // an element or group without format row
inline constexpr int kErrNoGroupHeader = 25;   // a message before any group header
inline constexpr int kErrHexText = 26;         // a "B" text that is not hexadecimal pairs
inline constexpr int kErrUnmappable = 27;      // a character outside Windows-31J, or a broken one
inline constexpr int kErrCharCode = 28;        // an unknown 16-bit character code byte
inline constexpr int kErrNotANumber = 29;      // a numeric or date text that is not a number
inline constexpr int kErrOpenGroup = damage::kOpenGroup;
inline constexpr int kErrLineTooLong = 31;     // a local line longer than its key and record
inline constexpr int kErrTrailerCount = damage::kTrailerCount;
inline constexpr int kErrTooLong = refusal::kTooLong;
inline constexpr int kErrItemNumber = refusal::kItemNumber;
inline constexpr int kErrNotCii = damage::kNotCii;
inline constexpr int kErrTooMuchDamage = damage::kTooMuchDamage;
inline constexpr int kErrRootName = 37;        // a BPID or category that no XML name can hold
inline constexpr int kErrMode = 38;            // a converter mode other than "1" or "2"

// The code as four digits ("0000" pattern).
std::string FourDigits(int code);

// What the code means, in a few words (for the dump, the history listing
// and the README's table); "" for a code the converters do not write.
std::string_view DescribeConverterCode(int code, Language language = Language::kEnglish);

class ErrLog {
 public:
  explicit ErrLog(std::filesystem::path path = "ERR.LOG") : path_(std::move(path)) {}

  // A log that keeps its lines in memory (lines()) instead of a file, for
  // callers that convert in memory.
  static ErrLog InMemory() {
    ErrLog log("");
    log.inMemory_ = true;
    return log;
  }

  // Appends "<code as four digits><message>\r\n". A log that cannot be
  // written is reported on standard error (once per log), never lost
  // silently.
  void Write(int code, std::string_view message = {});

  const std::filesystem::path& path() const { return path_; }
  // The lines of an in-memory log.
  const std::string& lines() const { return lines_; }

 private:
  std::filesystem::path path_;
  bool inMemory_ = false;
  std::string lines_;
  bool reported_ = false;
};

// The result of one conversion: 0 while it goes on, else the code of the
// first error that stopped it.
class ConversionResult {
 public:
  explicit ConversionResult(ErrLog& log) : log_(log) {}

  // Logs a code the conversion goes on after.
  void Note(int code, std::string_view message = {}) { log_.Write(code, message); }

  // Logs a code that stops the conversion and keeps it (the first one
  // wins). Returns false, so that a callback can return it to stop a walk.
  bool Stop(int code, std::string_view message = {});

  // A damage the CII reader reported: a stopping one stops the conversion,
  // any other is noted. Returns whether the walk goes on.
  bool Damage(int code, std::string_view message) {
    if (IsStoppingDamage(code)) return Stop(code, message);
    Note(code, message);
    return true;
  }

  // True for a format load that found its rows; otherwise stops with
  // `notFoundCode`, or kErrDatabase with the driver's message of `db` when
  // the table could not be read.
  bool Loaded(LoadStatus status, int notFoundCode, const Database& db);

  bool ok() const { return code_ == 0; }
  int code() const { return code_; }
  // "0000" or the stopping code as four digits.
  std::string Text() const { return FourDigits(code_); }

 private:
  ErrLog& log_;
  int code_ = 0;
};

}  // namespace edi::cii
