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

#include "cii/err_log.h"
#include "cii/format_tables.h"
#include "cii/syntax/cii_layout.h"

namespace edi::cii {

struct ConverterState {
  ConverterState() { header.fill(' '); }

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
// asked) of the current group into `state`. On failure stops `result` with
// the code of the missing table (1 or `infoNotFound`, 3, 4) or 20.
bool LoadGroupFormats(ConverterState& state, Database& db, const GroupFormats& what,
                      ConversionResult& result);

}  // namespace edi::cii
