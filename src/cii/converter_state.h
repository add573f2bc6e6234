// The state both converters carry from one conversion to the next: the
// current message group's header and format rows, the record being built and
// the log. One object lives as long as the program and is passed by
// reference to every converter call. After a call, the header, groupBpid and
// groupInfoCode describe the last message group the call converted (the run
// loop records them in the history).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "cii/conversion_io.h"
#include "cii/err_log.h"
#include "cii/format_tables.h"
#include "cii/syntax/cii_layout.h"

namespace edi::cii {

// The key of what a group's tables loaded, so that a later group asking
// for the same can be given it without the database.
struct LoadedFormats {
  bool valid = false;
  std::string infoCode, bpid;  // the group the format rows belong to
  bool localRows = false;      // the 'L' rows were loaded too
  bool xmlCode = false;        // and XML文字コード
};
struct LoadedGroupValues {
  bool valid = false;
  std::string partner, own, category;
  MessageGroupValues values;
};

struct ConverterState {
  ConverterState() { header.fill(' '); }

  // With reuseFormats, a group that needs the format rows (or, local to CII,
  // the FL1916 values) that the last load brought takes them again without
  // asking the database, in a later conversion too. Off by default: every
  // group reads the tables afresh, so that edits of the tables apply from
  // the next group on. For callers that convert many small inputs against
  // tables that do not change, such as the fuzz harnesses.
  bool reuseFormats = false;
  LoadedFormats loadedFormats;        // what formatInfo, ciiRows and localRows hold
  LoadedGroupValues loadedGroupValues;

  std::array<uint8_t, kRecordSize> header;  // MessageGroupHeader
  FormatInfo formatInfo;
  FormatRows ciiRows;    // CiiFormatRows ('E' rows)
  FormatRows localRows;  // LocalFormatRows ('L' rows)
  int localRecordLength = 0;
  std::string localRecordTemplate;  // Windows-31J bytes
  std::string groupBpid;            // GroupBpid, trimmed
  std::string groupInfoCode;        // GroupInfoCode, trimmed
  std::string recordBuffer;         // RecordBuffer: Windows-31J bytes

  // ERR.LOG in the program's folder by default.
  ErrLog errLog;

  // Told of every file a conversion of the file entries creates or appends
  // to, before it writes there (none by default).
  OutputJournal* outputJournal = nullptr;

  char StorageMode() const { return static_cast<char>(header[header::kStorageMode]); }

  // Makes `groupHeader` the current group: copies it and takes its BPID and
  // information code.
  void TakeHeader(std::span<const uint8_t> groupHeader);
};

// The text of a header field, trimmed of spaces (bytes as they stand).
std::string HeaderField(std::span<const uint8_t> header, size_t offset, size_t length);

// What a converter loads for a message group.
struct GroupFormats {
  bool localRows = false;        // also the 'L' rows
  bool xmlCode = true;           // also XML文字コード of the format information
  int infoNotFound = kErrNoFormatInfo;  // the code for a missing FL1902 row
};

// Loads the format information and the 'E' rows (and the 'L' rows when
// asked) of the current group into `state`, unless state.reuseFormats lets
// it keep what it holds. On failure stops `result` with the code of the
// missing table (1 or `infoNotFound`, 3, 4) or 20.
bool LoadGroupFormats(ConverterState& state, Database& db, const GroupFormats& what,
                      ConversionResult& result);

// LoadMessageGroupValues, taken from the last load when state.reuseFormats
// allows.
LoadStatus LoadGroupValues(ConverterState& state, Database& db, const std::string& partner,
                           const std::string& own, const std::string& category, MessageGroupValues& values);

}  // namespace edi::cii
