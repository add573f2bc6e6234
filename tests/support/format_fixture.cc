#include "support/format_fixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cii/syntax/cii_writer.h"

namespace edi::test {

void InsertFormat(Database& db, const std::string& info, const std::string& bpid,
                  const std::vector<FormatRowSpec>& eRows, const std::vector<FormatRowSpec>& lRows,
                  const std::string& storageMode, const std::string& xmlCode) {
  ASSERT_TRUE(db.ExecuteSql(
      "INSERT INTO FL1902フォーマット情報マスタ (情報区分コード, BPID, 様式識別, シンタックスIDバージョン,"
      " 格納モード, \"1バイト文字集合\", \"2バイト文字集合\", ローカル形式, XML文字コード)"
      " VALUES (:1, :2, 'F', '1', :3, '1', 'M', 'L', :4)",
      {info, bpid, storageMode, xmlCode}))
      << db.LastError();
  for (char kind : {'E', 'L'}) {
    for (const auto& r : kind == 'E' ? eRows : lRows) {
      ASSERT_TRUE(db.ExecuteSql(
          "INSERT INTO FL1903レコードフォーマット情報マスタ (フォーマット種別, 情報区分コード, BPID,"
          " 項目通番, 対応項目通番, レベル番号, 項目№, 項目位置, 項目名称, 属性, 長さ, 小数部長さ,"
          " マルチ明細番号, 繰返し数) VALUES (:1, :2, :3, :4, :5, :6, :7, :8, :9, :10, :11, :12, :13, :14)",
          {std::string(1, kind), info, bpid, static_cast<long long>(r.serial),
           static_cast<long long>(r.counterpart), static_cast<long long>(r.level),
           static_cast<long long>(r.itemNo), r.position, r.name, r.attribute,
           static_cast<long long>(r.length), static_cast<long long>(r.decimals), r.multiNo,
           static_cast<long long>(r.repeat)}))
          << db.LastError();
    }
  }
}

void InsertMessageGroup(Database& db, const std::string& partner, const std::string& own,
                        const std::string& info, const std::string& bpid,
                        const std::string& storageMode, const std::string& sixteenBit) {
  ASSERT_TRUE(db.ExecuteSql(
      "INSERT INTO FL1916メッセージグループ情報マスタ (相手先コード, 自社コード, 情報区分, BPID, 運用モード,"
      " 発信VANコード, 発信センターコード, 発信者コード, 受信VANコード, 受信センターコード, 受信者コード,"
      " 交換参照番号, シンタックスIDバージョン, 格納モード, \"8ビット文字コード\", \"16ビット文字コード\","
      " 短縮表示, 発信VANコード管理機関コード, 発信センターコード管理機関コード, 発信者コード管理機関コード,"
      " 受信VANコード管理機関コード, 受信センターコード管理機関コード, 受信者コード管理機関コード)"
      " VALUES (:1, :2, :3, :4, 'P', 'SVAN', 'SCEN', :5, 'RVAN', 'RCEN', :6, 'REF0000001', '110000',"
      " :7, '1', :8, '0', 'A01', 'A02', 'A03', 'B01', 'B02', 'B03')",
      {partner, own, info, bpid, own, partner, storageMode, sixteenBit}))
      << db.LastError();
}

std::array<uint8_t, cii::kRecordSize> GroupHeader(const std::string& bpid, const std::string& info,
                                                  char storageMode, char doubleByte,
                                                  const std::string& kind, const std::string& sender,
                                                  const std::string& receiver) {
  std::array<uint8_t, cii::kRecordSize> h;
  h.fill(' ');
  auto put = [&](size_t offset, const std::string& text) { std::copy(text.begin(), text.end(), h.begin() + offset); };
  put(cii::header::kBpid, bpid);
  put(cii::header::kInfoCode, info);
  put(cii::header::kGroupKind, kind);
  put(cii::header::kSenderCode, sender);
  put(cii::header::kReceiverCode, receiver);
  h[cii::header::kStorageMode] = static_cast<uint8_t>(storageMode);
  h[cii::header::kSingleByteSet] = '1';
  h[cii::header::kDoubleByteSet] = static_cast<uint8_t>(doubleByte);
  return h;
}

std::string Data(long number, std::string_view body) {
  std::string data;
  EXPECT_EQ(cii::MessageData(number, body, data), 0);
  return data;
}

void AppendTrailer(std::string& out, long count) { EXPECT_EQ(cii::AppendGroupTrailer(out, count), 0); }

std::string CiiGroup(const std::array<uint8_t, cii::kRecordSize>& header, const std::vector<std::string>& bodies) {
  std::string out;
  cii::AppendGroupHeader(out, header);
  int n = 0;
  for (const auto& body : bodies) {
    cii::AppendMessageBlocks(out, Data(++n, body), static_cast<char>(header[cii::header::kStorageMode]));
  }
  AppendTrailer(out, n);
  return out;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace edi::test
