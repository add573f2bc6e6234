// The state both converters carry from one conversion to the next: the
// current message group's header and trailer, its format rows, the record
// being built and the error code of the conversion. One object lives as long
// as the program and is passed by reference to every converter call.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "cii/cii_layout.h"
#include "cii/format_tables.h"

namespace edi::cii {

struct ConverterState {
  ConverterState() { header.fill(' '); trailer.fill(' '); }

  std::array<uint8_t, kRecordSize> header;   // MessageGroupHeader
  std::array<uint8_t, kRecordSize> trailer;  // MessageGroupTrailer
  FormatInfo formatInfo;
  FormatRows ciiRows;    // CiiFormatRows ('E' rows)
  FormatRows localRows;  // LocalFormatRows ('L' rows)
  int localRecordLength = 0;
  std::string localRecordTemplate;  // Windows-31J bytes
  std::string groupBpid;            // GroupBpid, trimmed
  std::string groupInfoCode;        // GroupInfoCode
  std::string xmlCharCode;          // XmlCharCode: the character-code letter of the keys
  std::string convErrorText;        // ConvErrorText: "" or the four-digit stopping error
  std::string recordBuffer;         // RecordBuffer: Windows-31J bytes
  int blockRemaining = 0;           // BlockRemaining of the CII input

  // Where WriteErrLog appends: ERR.LOG in the program's folder by default.
  std::filesystem::path errLogPath = "ERR.LOG";

  char StorageMode() const { return static_cast<char>(header[header::kStorageMode]); }
};

}  // namespace edi::cii
