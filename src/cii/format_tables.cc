#include "cii/format_tables.h"

#include <charconv>

#include "base/ansi_codec.h"
#include "db/null_value.h"

namespace edi::cii {
namespace {

bool ReadInt(const ResultSet& rs, const char* column, int& out) {
  auto value = rs.Get(column);
  if (!value) return false;
  std::string text = TrimBlanks(*value);
  auto dot = text.find('.');
  if (dot != std::string::npos) text.resize(dot);  // a float column such as 10.0
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && ptr == text.data() + text.size();
}

std::string Text(const ResultSet& rs, const char* column) { return NullToDefault(rs.Get(column), ""); }
std::string Trimmed(const ResultSet& rs, const char* column) { return NullToTrimmed(rs.Get(column), ""); }

bool ReadRow(const ResultSet& rs, RecordFormatRow& row) {
  row.position = Trimmed(rs, "項目位置");
  row.name = Trimmed(rs, "項目名称");
  row.attribute = Text(rs, "属性");
  row.multiNo = Trimmed(rs, "マルチ明細番号");
  row.fixedValue = Trimmed(rs, "固定項目値");
  row.errorHandling = Trimmed(rs, "変換エラー対処");
  return ReadInt(rs, "項目通番", row.serial) && ReadInt(rs, "対応項目通番", row.counterpartSerial) &&
         ReadInt(rs, "レベル番号", row.level) && ReadInt(rs, "項目№", row.itemNo) &&
         ReadInt(rs, "長さ", row.length) && ReadInt(rs, "小数部長さ", row.decimals) &&
         ReadInt(rs, "繰返し数", row.repeat) && row.level >= 0;
}

}  // namespace

int RecordFormatRow::PositionNumber() const {
  int value = 0;
  auto [ptr, ec] = std::from_chars(position.data(), position.data() + position.size(), value);
  return ec == std::errc() ? value : 0;
}

bool LoadFormatRows(FormatRows& rows, ResultSet& rs) {
  rows.clear();
  // stack[i] is the index of the open group row at level i.
  std::vector<size_t> stack;
  for (; !rs.AtEnd(); rs.MoveNext()) {
    RecordFormatRow row;
    if (!ReadRow(rs, row)) return false;
    const size_t level = static_cast<size_t>(row.level);
    // Groups at this level or deeper have ended with the previous row.
    while (!stack.empty() && stack.size() > level) {
      const size_t top = stack.back();
      stack.pop_back();
      if (!stack.empty()) {
        rows[stack.back()].length += rows[top].length * rows[top].RepeatCount();
      }
    }
    const size_t index = rows.size();
    if (row.level > 0 && !stack.empty() && stack.size() == level) {
      rows[stack.back()].length += row.IsGroup() ? 0 : row.FieldBytes();
    }
    if (row.IsGroup()) {
      row.length = 0;
      rows.push_back(row);
      // A member level that skips a level has no enclosing group to add to.
      if (stack.size() == level) stack.push_back(index);
      continue;
    }
    rows.push_back(row);
  }
  while (!stack.empty()) {
    const size_t top = stack.back();
    stack.pop_back();
    if (!stack.empty()) rows[stack.back()].length += rows[top].length * rows[top].RepeatCount();
  }
  return true;
}

int LocalRecordLength(const FormatRows& localRows) {
  int length = 0;
  for (const auto& row : localRows) {
    if (row.level != 0) continue;
    const int bytes = row.IsGroup() ? row.RepeatCount() * row.length : row.FieldBytes();
    length = std::max(length, row.PositionNumber() + bytes - 1);
  }
  return length;
}

std::vector<int> OccurrenceOffsets(const FormatRows& rows, size_t index) {
  // The enclosing groups: walking back, the nearest group row of each lower level.
  std::vector<const RecordFormatRow*> groups;
  int level = rows[index].level;
  for (size_t i = index; i-- > 0 && level > 0;) {
    if (rows[i].level >= level) continue;
    if (rows[i].level != level - 1 || !rows[i].IsGroup()) break;  // no enclosing group
    groups.push_back(&rows[i]);
    level = rows[i].level;
  }
  std::vector<int> offsets{0};
  for (const RecordFormatRow* group : groups) {
    std::vector<int> next;
    next.reserve(offsets.size() * static_cast<size_t>(group->RepeatCount()));
    for (int j = 0; j < group->RepeatCount(); ++j) {
      for (int base : offsets) next.push_back(base + j * group->length);
    }
    offsets.swap(next);
  }
  return offsets;
}

std::string LocalRecordTemplate(const FormatRows& localRows, int recordLength) {
  std::string record(static_cast<size_t>(std::max(recordLength, 0)), ' ');
  for (size_t i = 0; i < localRows.size(); ++i) {
    const RecordFormatRow& row = localRows[i];
    std::string fill;
    if (row.IsNumeric()) {
      fill.assign(static_cast<size_t>(std::max(row.length - row.decimals, 0)), '0');
      if (row.decimals != 0) fill += "." + std::string(static_cast<size_t>(std::max(row.decimals, 0)), '0');
    } else if (row.attribute == "K") {
      for (int n = 0; n < row.length / 2; ++n) fill += "\x81\x40";  // full-width space
      if (row.length % 2 != 0) fill += ' ';
    } else {
      continue;
    }
    for (int offset : OccurrenceOffsets(localRows, i)) {
      const int start = row.PositionNumber() - 1 + offset;
      if (start < 0 || start >= recordLength) continue;
      const size_t room = static_cast<size_t>(recordLength - start);
      record.replace(static_cast<size_t>(start), std::min(fill.size(), room), fill, 0,
                     std::min(fill.size(), room));
    }
  }
  return record;
}

LoadStatus LoadFormatInfo(Database& db, std::string_view infoCode, std::string_view bpid,
                          FormatInfo& info, bool includeXmlCode) {
  ResultSet rs;
  if (!db.Query(
          "SELECT * FROM FL1902フォーマット情報マスタ WHERE 情報区分コード= :1 AND BPID= :2",
          {std::string(infoCode), std::string(bpid)}, rs)) {
    return LoadStatus::kFailed;
  }
  if (rs.AtEnd()) return LoadStatus::kNotFound;
  info.formId = Text(rs, "様式識別");
  info.syntaxVersion = Text(rs, "シンタックスIDバージョン");
  info.storageMode = Text(rs, "格納モード");
  info.singleByteSet = Text(rs, "1バイト文字集合");
  info.doubleByteSet = Text(rs, "2バイト文字集合");
  info.localFormat = Text(rs, "ローカル形式");
  if (includeXmlCode) info.xmlCharCode = Text(rs, "XML文字コード");
  return LoadStatus::kFound;
}

LoadStatus LoadRecordFormatRows(Database& db, char kind, std::string_view infoCode,
                                std::string_view bpid, FormatRows& rows) {
  ResultSet rs;
  if (!db.Query(
          "SELECT * FROM FL1903レコードフォーマット情報マスタ WHERE フォーマット種別= :1"
          " AND 情報区分コード= :2 AND BPID= :3 ORDER BY 項目通番",
          {std::string(1, kind), std::string(infoCode), std::string(bpid)}, rs)) {
    return LoadStatus::kFailed;
  }
  if (rs.AtEnd()) return LoadStatus::kNotFound;
  FormatRows loaded;
  if (!LoadFormatRows(loaded, rs)) return LoadStatus::kFailed;
  rows = std::move(loaded);
  return LoadStatus::kFound;
}

LoadStatus LoadMessageGroupValues(Database& db, std::string_view partner, std::string_view own,
                                  std::string_view infoCode, MessageGroupValues& v) {
  ResultSet rs;
  if (!db.Query(
          "SELECT * FROM FL1916メッセージグループ情報マスタ WHERE 相手先コード= :1 AND 自社コード= :2"
          " AND 情報区分= :3",
          {std::string(partner), std::string(own), std::string(infoCode)}, rs)) {
    return LoadStatus::kFailed;
  }
  if (rs.AtEnd()) return LoadStatus::kNotFound;
  v.bpid = Text(rs, "BPID");
  v.operationMode = Text(rs, "運用モード");
  v.senderVan = Text(rs, "発信VANコード");
  v.senderCentre = Text(rs, "発信センターコード");
  v.sender = Text(rs, "発信者コード");
  v.receiverVan = Text(rs, "受信VANコード");
  v.receiverCentre = Text(rs, "受信センターコード");
  v.receiver = Text(rs, "受信者コード");
  v.infoCode = Text(rs, "情報区分");
  v.interchangeRef = Text(rs, "交換参照番号");
  v.syntaxVersion = Text(rs, "シンタックスIDバージョン");
  v.storageMode = Text(rs, "格納モード");
  v.eightBitCode = Text(rs, "8ビット文字コード");
  v.sixteenBitCode = Text(rs, "16ビット文字コード");
  v.abbreviated = Text(rs, "短縮表示");
  v.senderVanAgency = Text(rs, "発信VANコード管理機関コード");
  v.senderCentreAgency = Text(rs, "発信センターコード管理機関コード");
  v.senderAgency = Text(rs, "発信者コード管理機関コード");
  v.receiverVanAgency = Text(rs, "受信VANコード管理機関コード");
  v.receiverCentreAgency = Text(rs, "受信センターコード管理機関コード");
  v.receiverAgency = Text(rs, "受信者コード管理機関コード");
  return LoadStatus::kFound;
}

}  // namespace edi::cii
