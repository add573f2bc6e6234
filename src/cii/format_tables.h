// The format master tables that drive both converters:
// FL1902フォーマット情報マスタ (format information), FL1903レコードフォーマット
// 情報マスタ (element rows 'E' and local field rows 'L') and
// FL1916メッセージグループ情報マスタ (message group header values).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/database.h"

namespace edi::cii {

// One row of FL1903レコードフォーマット情報マスタ.
struct RecordFormatRow {
  int serial = 0;              // 項目通番
  int counterpartSerial = 0;   // 対応項目通番
  int level = 0;               // レベル番号
  int itemNo = 0;              // 項目№ (the CII tag of an 'E' row)
  std::string position;        // 項目位置 (1-based byte position of an 'L' row)
  std::string name;            // 項目名称
  std::string attribute;       // 属性: "M" group, "9" "N" numbers, "Y" date, "K" "X" "B" texts
  int length = 0;              // 長さ (of one occurrence, for a group row)
  int decimals = 0;            // 小数部長さ
  std::string multiNo;         // マルチ明細番号
  int repeat = 0;              // 繰返し数
  std::string fixedValue;      // 固定項目値
  std::string errorHandling;   // 変換エラー対処

  bool IsGroup() const { return attribute == "M"; }
  bool IsNumeric() const { return attribute == "9" || attribute == "N" || attribute == "Y"; }
  // 項目位置 as a number (0 when it is not one).
  int PositionNumber() const;
  // Bytes of one local field: 長さ, plus one for the decimal point.
  int FieldBytes() const { return length + (decimals != 0 ? 1 : 0); }
  // 繰返し数 as a multiplier: 0 counts as 1.
  int RepeatCount() const { return repeat > 0 ? repeat : 1; }
};

using FormatRows = std::vector<RecordFormatRow>;

// FL1902フォーマット情報マスタ values of the current group.
struct FormatInfo {
  std::string formId;         // 様式識別
  std::string syntaxVersion;  // シンタックスIDバージョン
  std::string storageMode;    // 格納モード
  std::string singleByteSet;  // 1バイト文字集合
  std::string doubleByteSet;  // 2バイト文字集合
  std::string localFormat;    // ローカル形式
  std::string xmlCharCode;    // XML文字コード
};

// One row of FL1916メッセージグループ情報マスタ, columns as stored.
struct MessageGroupValues {
  std::string bpid, operationMode;
  std::string senderVan, senderCentre, sender, receiverVan, receiverCentre, receiver;
  std::string infoCode, interchangeRef, syntaxVersion, storageMode;
  std::string eightBitCode, sixteenBitCode, abbreviated;
  std::string senderVanAgency, senderCentreAgency, senderAgency;
  std::string receiverVanAgency, receiverCentreAgency, receiverAgency;
};

// How a load ended.
enum class LoadStatus { kFound, kNotFound, kFailed };

// Loads the format information of (code, BPID). `info` is changed only when
// a row was found (with includeXmlCode false, xmlCharCode is left alone).
LoadStatus LoadFormatInfo(Database& db, std::string_view infoCode, std::string_view bpid,
                          FormatInfo& info, bool includeXmlCode = true);

// Loads the 'E' (kind 'E') or 'L' rows of (code, BPID) in 項目通番 order with
// group lengths computed. `rows` is replaced only when rows were found.
LoadStatus LoadRecordFormatRows(Database& db, char kind, std::string_view infoCode,
                                std::string_view bpid, FormatRows& rows);

// Loads the message group values of (partner, own company, category).
LoadStatus LoadMessageGroupValues(Database& db, std::string_view partner, std::string_view own,
                                  std::string_view infoCode, MessageGroupValues& values);

// Reads every row of `rs` into `rows` and computes each group's 長さ: the sum
// of its members' lengths, one more per member with decimals, and nested
// groups counted 繰返し数 times. False when a row lacks a numeric column.
bool LoadFormatRows(FormatRows& rows, ResultSet& rs);

// The largest end position over the level-0 local rows: position + bytes - 1,
// a group taking 繰返し数 (at least one) occurrences, a numeric field with
// decimals one byte more for its decimal point.
int LocalRecordLength(const FormatRows& localRows);

// The blank local record (Windows-31J bytes): spaces, numeric fields zeros
// with their decimal point, "K" fields full-width spaces (a half-width space
// at the end of an odd length), in every occurrence of every enclosing group.
std::string LocalRecordTemplate(const FormatRows& localRows, int recordLength);

// The byte offsets that the occurrences of the groups enclosing row `index`
// add to its position: one entry per combination of occurrences (just 0 for
// a level-0 row).
std::vector<int> OccurrenceOffsets(const FormatRows& rows, size_t index);

}  // namespace edi::cii
