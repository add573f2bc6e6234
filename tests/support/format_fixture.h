// Format tables and CII files for converter tests.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "cii/syntax/cii_layout.h"
#include "db/database.h"

namespace edi::test {

// One row of FL1903レコードフォーマット情報マスタ.
struct FormatRowSpec {
  int serial;
  int counterpart;
  int level;
  int itemNo;
  std::string attribute;
  int length;
  int decimals = 0;
  int repeat = 0;
  std::string position = "";
  std::string multiNo = "";
  std::string name = "";
};

// Inserts FL1902 (with storage mode and XML code) and the 'E' and 'L' rows.
void InsertFormat(Database& db, const std::string& info, const std::string& bpid,
                  const std::vector<FormatRowSpec>& eRows, const std::vector<FormatRowSpec>& lRows,
                  const std::string& storageMode = "M", const std::string& xmlCode = "M");

// Inserts FL1916 for (partner, own, info).
void InsertMessageGroup(Database& db, const std::string& partner, const std::string& own,
                        const std::string& info, const std::string& bpid,
                        const std::string& storageMode, const std::string& sixteenBit = "M");

// A 249-byte group header with the fields the converters read.
std::array<uint8_t, cii::kRecordSize> GroupHeader(const std::string& bpid, const std::string& info,
                                                  char storageMode, char doubleByte = 'M',
                                                  const std::string& kind = "  ",
                                                  const std::string& sender = "SENDER",
                                                  const std::string& receiver = "RECEIVER");

// The message data of a body (a test's body always fits).
std::string Data(long number, std::string_view body);

// Appends a group trailer block with `count` messages.
void AppendTrailer(std::string& out, long count);

// A whole group: header, messages with the given bodies, trailer.
std::string CiiGroup(const std::array<uint8_t, cii::kRecordSize>& header,
                     const std::vector<std::string>& bodies);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace edi::test
