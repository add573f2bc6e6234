#include "station/demo_data.h"

#include <fstream>
#include <span>
#include <tuple>

namespace edi {
namespace {

struct DemoCentre {
  const char* code;
  const char* name;
  const char* method;
  const char* format;
  const char* partnerKind;
  const char* receivePath;  // relative to the station folder
  const char* company;
};

const DemoCentre kCentres[] = {
    {"DEMOZ01", "デモ部品センター（ＴＣＰ）", "Z", "C", "1", "nts/recv/DEMOZ01.CII", "C0001"},
    {"DEMOM01", "デモ受注センター（メール）", "M", "X", "1", "recv/DEMOM01", "C0002"},
    {"DEMOW01", "デモ手動センター（ＣＩＩ）", "W", "C", "1", "recv/DEMOW01/orders.CII", "C0003"},
    {"DEMOW02", "デモ手動センター（ＸＭＬ）", "W", "X", "1", "recv/DEMOW02/orders.XML", "C0004"},
    {"DEMOS01", "デモ送信専用センター", "Z", "C", "2", "nts/recv/DEMOS01.CII", "C0005"},
    {"DEMOJ01", "デモ受注センター（ＪＸ）", "J", "X", "1", "", "C0006"},
};

struct Category {
  const char* code;
  const char* name;
};

const Category kTransferMethods[] = {
    {"Z", "ＴＣＰ手順（NTS100）"}, {"M", "電子メール"}, {"W", "手動ファイル"}};

// A small order format: order number, date, item name, quantity and up to
// three part lines, with its local record layout.
struct DemoRow {
  int serial;
  int level;
  int itemNo;
  const char* attribute;
  int length;
  int decimals;
  int repeat;
  const char* position;  // local rows
  const char* multiNo;
  const char* name;
};

const DemoRow kCiiRows[] = {
    {1, 0, 1, "X", 10, 0, 0, "", "", "注文番号"},   {2, 0, 2, "Y", 8, 0, 0, "", "", "注文日"},
    {3, 0, 3, "K", 20, 0, 0, "", "", "品名"},       {4, 0, 4, "9", 7, 0, 0, "", "", "数量"},
    {5, 0, 0, "M", 0, 0, 3, "", "1", "部品明細"},   {6, 1, 10, "X", 8, 0, 0, "", "", "部品番号"},
    {7, 1, 11, "N", 5, 0, 0, "", "", "部品数量"},
};
const DemoRow kLocalRows[] = {
    {1, 0, 0, "X", 10, 0, 0, "1", "", "注文番号"},  {2, 0, 0, "Y", 8, 0, 0, "11", "", "注文日"},
    {3, 0, 0, "K", 20, 0, 0, "19", "", "品名"},     {4, 0, 0, "9", 7, 0, 0, "39", "", "数量"},
    {5, 0, 0, "M", 0, 0, 3, "46", "", "部品明細"},  {6, 1, 0, "X", 8, 0, 0, "46", "", "部品番号"},
    {7, 1, 0, "N", 5, 0, 0, "54", "", "部品数量"},
};

// True when `sql` finds a row; a failed query counts as none (the insert
// that follows then reports the database's trouble).
bool Found(Database& db, const std::string& sql, const SqlParams& params) {
  ResultSet rs;
  return db.Query(sql, params, rs) && !rs.AtEnd();
}

bool InsertFormatRows(Database& db, DemoRows rows) {
  if (rows == DemoRows::kKeepExisting &&
      Found(db, "SELECT BPID FROM FL1902フォーマット情報マスタ WHERE BPID = 'DEMO0001'", {})) {
    return true;
  }
  bool ok = db.ExecuteSql("DELETE FROM FL1903レコードフォーマット情報マスタ WHERE BPID = 'DEMO0001'") &&
            db.ExecuteSql("DELETE FROM FL1902フォーマット情報マスタ WHERE BPID = 'DEMO0001'") &&
            db.ExecuteSql("DELETE FROM FL1916メッセージグループ情報マスタ WHERE BPID = 'DEMO0001'") &&
            db.ExecuteSql(
                "INSERT INTO FL1902フォーマット情報マスタ (情報区分コード, BPID, 様式識別, シンタックスIDバージョン,"
                " 格納モード, \"1バイト文字集合\", \"2バイト文字集合\", ローカル形式, XML文字コード)"
                " VALUES ('0101', 'DEMO0001', 'ORDER', '110000', 'M', '1', 'M', 'L', 'M')") &&
            db.ExecuteSql(
                "INSERT INTO FL1916メッセージグループ情報マスタ (相手先コード, 自社コード, 情報区分, BPID,"
                " 運用モード, 発信者コード, 受信者コード, 交換参照番号, シンタックスIDバージョン, 格納モード,"
                " \"8ビット文字コード\", \"16ビット文字コード\") VALUES ('DEMOPARTNER', 'DEMOOWN', '0101',"
                " 'DEMO0001', 'P', 'DEMOOWN', 'DEMOPARTNER', 'DEMO000001', '110000', 'M', '1', 'M')");
  for (char kind : {'E', 'L'}) {
    for (const DemoRow& r : kind == 'E' ? std::span<const DemoRow>(kCiiRows) : std::span<const DemoRow>(kLocalRows)) {
      ok = ok && db.ExecuteSql(
                     "INSERT INTO FL1903レコードフォーマット情報マスタ (フォーマット種別, 情報区分コード, BPID,"
                     " 項目通番, 対応項目通番, レベル番号, 項目№, 項目位置, 項目名称, 属性, 長さ, 小数部長さ,"
                     " マルチ明細番号, 繰返し数) VALUES (:1, '0101', 'DEMO0001', :2, :3, :4, :5, :6, :7, :8, :9,"
                     " :10, :11, :12)",
                     {std::string(1, kind), static_cast<long long>(r.serial), static_cast<long long>(r.serial),
                      static_cast<long long>(r.level), static_cast<long long>(r.itemNo), std::string(r.position),
                      std::string(r.name), std::string(r.attribute), static_cast<long long>(r.length),
                      static_cast<long long>(r.decimals), std::string(r.multiNo), static_cast<long long>(r.repeat)});
    }
  }
  return ok;
}

// Two sample order lines in the local format (Windows-31J), keyed for the
// demo partner.
void WriteSampleOrders(const std::filesystem::path& file) {
  const std::string key = "     0101      DEMOOWN     DEMOPARTNER ";
  std::string lines;
  for (const auto& [order, item, parts] :
       {std::tuple{"ORD0000001", "\x83\x7b\x83\x8b\x83\x67\x81\x40\x82\x6c\x82\x55\x81\x40\x81\x40\x81\x40\x81\x40",
                   "B-100   00012B-200   00003        00000"},
        std::tuple{"ORD0000002", "\x83\x69\x83\x62\x83\x67\x81\x40\x87\x40\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40",
                   "N-300   00100        00000        00000"}}) {
    lines += key + order + "20261208" + item + "0000250" + parts + "\r\n";
  }
  std::ofstream(file, std::ios::binary) << lines;
}

}  // namespace

bool InsertDemoData(Database& db, const std::filesystem::path& stationDir, DemoRows rows, std::string& error) {
  const bool keep = rows == DemoRows::kKeepExisting;
  auto fail = [&](const char* what) {
    error = std::string("cannot insert demo ") + what + ": " + db.LastError();
    return false;
  };
  long long partnerNo = 1;
  for (const auto& c : kCentres) {
    const std::string path = *c.receivePath == '\0' ? "" : (stationDir / c.receivePath).string();
    ++partnerNo;
    if (keep && Found(db, "SELECT センターコード FROM FL1903EDI制御マスタ WHERE センターコード = :1",
                      {std::string(c.code)})) {
      continue;
    }
    if (!db.ExecuteSql("DELETE FROM FL1903EDI制御マスタ WHERE センターコード = :1",
                       {std::string(c.code)}) ||
        !db.ExecuteSql(
            "INSERT INTO FL1903EDI制御マスタ (センターコード, センター名, 送受信方式,"
            " 送受信データ形式, 相手先種別, NTS受信相手先番号, NTS受信ファイル番号,"
            " NTS受信ファイルパス, 相手先メールアドレス) VALUES (:1, :2, :3, :4, :5, :6, :7, :8, :9)",
            {std::string(c.code), std::string(c.name), std::string(c.method),
             std::string(c.format), std::string(c.partnerKind), partnerNo - 1, 1LL, path,
             std::string(c.code) + "@partner.example"})) {
      return fail("centre");
    }
    if (!db.ExecuteSql("DELETE FROM FL1915センタ利用企業マスタ WHERE センターコード = :1",
                       {std::string(c.code)}) ||
        !db.ExecuteSql("INSERT INTO FL1915センタ利用企業マスタ (センターコード, 相手先企業コード)"
                       " VALUES (:1, :2)",
                       {std::string(c.code), std::string(c.company)})) {
      return fail("user company");
    }
  }
  for (const auto& m : kTransferMethods) {
    if (keep && Found(db, "SELECT 区分 FROM 区分マスタ WHERE 区分 = :1 AND 区分ｺｰﾄﾞ = :2",
                      {std::string("送受信方式"), std::string(m.code)})) {
      continue;
    }
    if (!db.ExecuteSql("DELETE FROM 区分マスタ WHERE 区分 = :1 AND 区分ｺｰﾄﾞ = :2",
                       {std::string("送受信方式"), std::string(m.code)}) ||
        !db.ExecuteSql("INSERT INTO 区分マスタ (区分, 区分ｺｰﾄﾞ, 区分名称) VALUES (:1, :2, :3)",
                       {std::string("送受信方式"), std::string(m.code), std::string(m.name)})) {
      return fail("category");
    }
  }
  if (!InsertFormatRows(db, rows)) return fail("format tables");
  WriteSampleOrders(stationDir / "out" / "DEMO_ORDERS.LOC");
  return true;
}

}  // namespace edi
