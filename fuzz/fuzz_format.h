// The small format the converter harnesses run against, in a SQLite file of
// a private temporary folder: category 0101, BPID BP000001, with a numeric
// field with decimals, a date, "K" and "B" fields, an extended tag, and a
// repeated group nested in a repeated group. The local record is 75 bytes.
// The harnesses convert in memory (MemoryState, Input and MemoryOutputs), so
// that an input costs neither files nor, after the first, database queries.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "cii/conversion_io.h"
#include "cii/converter_state.h"
#include "db/database.h"
#include "db/schema.h"

namespace fuzz {

inline constexpr size_t kKeyLength = 39;
inline constexpr size_t kRecordLength = 75;
inline constexpr char kKey[] = "     0101      OWNCO       PARTNER     ";

struct FormatFixture {
  std::filesystem::path dir;
  edi::Database db;

  FormatFixture() {
    char pattern[] = "/tmp/edi-fuzz-XXXXXX";
    dir = mkdtemp(pattern);
    if (!db.CreateSqlite((dir / "fuzz.sqlite").string()) || !edi::CreateSchema(db)) std::abort();
    Run("INSERT INTO FL1902フォーマット情報マスタ (情報区分コード, BPID, XML文字コード, 格納モード)"
        " VALUES ('0101', 'BP000001', 'M', 'M')");
    // The header's sender and receiver codes form the key of the local lines.
    Run("INSERT INTO FL1916メッセージグループ情報マスタ (相手先コード, 自社コード, 情報区分, BPID, 運用モード,"
        " 発信者コード, 受信者コード, 格納モード, \"8ビット文字コード\", \"16ビット文字コード\") VALUES ('PARTNER',"
        " 'OWNCO', '0101', 'BP000001', 'P', 'OWNCO', 'PARTNER', 'M', '1', 'M')");
    // serial, counterpart, level, item, attribute, length, decimals, repeat, position, multi-detail number
    const char* eRows[] = {"(1, 101, 0, 1, 'X', 10, 0, 0, '', '')",   "(2, 102, 0, 2, '9', 7, 2, 0, '', '')",
                           "(3, 103, 0, 3, 'Y', 8, 0, 0, '', '')",    "(4, 104, 0, 4, 'K', 10, 0, 0, '', '')",
                           "(5, 105, 0, 5, 'B', 4, 0, 0, '', '')",    "(6, 106, 0, 0, 'M', 0, 0, 2, '', '1')",
                           "(7, 107, 1, 10, 'X', 5, 0, 0, '', '')",   "(8, 108, 1, 0, 'M', 0, 0, 2, '', '2')",
                           "(9, 109, 2, 11, 'N', 4, 0, 0, '', '')",   "(10, 110, 0, 300, 'X', 9, 0, 0, '', '')"};
    const char* lRows[] = {"(101, 1, 0, 0, 'X', 10, 0, 0, '1', '')",  "(102, 2, 0, 0, '9', 7, 2, 0, '11', '')",
                           "(103, 3, 0, 0, 'Y', 8, 0, 0, '19', '')",  "(104, 4, 0, 0, 'K', 10, 0, 0, '27', '')",
                           "(105, 5, 0, 0, 'B', 4, 0, 0, '37', '')",  "(106, 6, 0, 0, 'M', 0, 0, 2, '41', '')",
                           "(107, 7, 1, 0, 'X', 5, 0, 0, '41', '')",  "(108, 8, 1, 0, 'M', 0, 0, 2, '46', '')",
                           "(109, 9, 2, 0, 'N', 4, 0, 0, '46', '')",  "(110, 10, 0, 0, 'X', 9, 0, 0, '67', '')"};
    for (const char* row : eRows) Row('E', row);
    for (const char* row : lRows) Row('L', row);
  }

  ~FormatFixture() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  void Run(const std::string& sql) {
    if (!db.ExecuteSql(sql)) std::abort();
  }

  void Row(char kind, const char* values) {
    Run(std::string("INSERT INTO FL1903レコードフォーマット情報マスタ (フォーマット種別, 情報区分コード, BPID,"
                    " 項目通番, 対応項目通番, レベル番号, 項目№, 属性, 長さ, 小数部長さ, 繰返し数, 項目位置,"
                    " マルチ明細番号) SELECT '") + kind + "', '0101', 'BP000001', * FROM (VALUES " + values + ")");
  }

  std::string Path(const char* name) const { return (dir / name).string(); }
};

// A converter state for in-memory conversions: format rows loaded once and
// reused, ERR.LOG lines kept in memory (start each input with a fresh log).
inline edi::cii::ConverterState MemoryState() {
  edi::cii::ConverterState state;
  state.reuseFormats = true;
  state.errLog = edi::cii::ErrLog::InMemory();
  return state;
}

// Outputs in memory reused from input to input: every kept text emptied,
// its buffer kept, which spares the allocations that would otherwise cost
// more than the conversion.
inline void Forget(edi::cii::MemoryOutputs& outputs) {
  for (auto& [name, text] : outputs.kept) text.clear();
}

// True when the outputs hold nothing (what a failed conversion must leave).
inline bool KeptNothing(const edi::cii::MemoryOutputs& outputs) {
  for (const auto& [name, text] : outputs.kept) {
    if (!text.empty()) return false;
  }
  return true;
}

// The fuzzer's bytes as a conversion's input.
inline edi::cii::ConversionInput Input(const uint8_t* data, size_t size) {
  return edi::cii::ConversionInput::Memory(std::string_view(reinterpret_cast<const char*>(data), size));
}

}  // namespace fuzz
