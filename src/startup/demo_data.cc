#include "startup/demo_data.h"

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
    {"DEMOW01", "デモ手動センター（ＣＩＩ）", "W", "C", "1", "recv/DEMOW01", "C0003"},
    {"DEMOW02", "デモ手動センター（ＸＭＬ）", "W", "X", "1", "recv/DEMOW02", "C0004"},
    {"DEMOS01", "デモ送信専用センター", "Z", "C", "2", "nts/recv/DEMOS01.CII", "C0005"},
};

struct Category {
  const char* code;
  const char* name;
};

const Category kTransferMethods[] = {
    {"Z", "ＴＣＰ手順（NTS100）"}, {"M", "電子メール"}, {"W", "手動ファイル"}};

}  // namespace

bool InsertDemoData(Database& db, const std::filesystem::path& stationDir, std::string& error) {
  auto fail = [&](const char* what) {
    error = std::string("cannot insert demo ") + what + ": " + db.LastError();
    return false;
  };
  long long partnerNo = 1;
  for (const auto& c : kCentres) {
    const std::string path = (stationDir / c.receivePath).string();
    if (!db.ExecuteSql("DELETE FROM FL1903EDI制御マスタ WHERE センターコード = :1",
                       {std::string(c.code)}) ||
        !db.ExecuteSql(
            "INSERT INTO FL1903EDI制御マスタ (センターコード, センター名, 送受信方式,"
            " 送受信データ形式, 相手先種別, NTS受信相手先番号, NTS受信ファイル番号,"
            " NTS受信ファイルパス, 相手先メールアドレス) VALUES (:1, :2, :3, :4, :5, :6, :7, :8, :9)",
            {std::string(c.code), std::string(c.name), std::string(c.method),
             std::string(c.format), std::string(c.partnerKind), partnerNo, 1LL, path,
             std::string(c.code) + "@partner.example"})) {
      return fail("centre");
    }
    ++partnerNo;
    if (!db.ExecuteSql("DELETE FROM FL1915センタ利用企業マスタ WHERE センターコード = :1",
                       {std::string(c.code)}) ||
        !db.ExecuteSql("INSERT INTO FL1915センタ利用企業マスタ (センターコード, 相手先企業コード)"
                       " VALUES (:1, :2)",
                       {std::string(c.code), std::string(c.company)})) {
      return fail("user company");
    }
  }
  for (const auto& m : kTransferMethods) {
    if (!db.ExecuteSql("DELETE FROM 区分マスタ WHERE 区分 = :1 AND 区分ｺｰﾄﾞ = :2",
                       {std::string("送受信方式"), std::string(m.code)}) ||
        !db.ExecuteSql("INSERT INTO 区分マスタ (区分, 区分ｺｰﾄﾞ, 区分名称) VALUES (:1, :2, :3)",
                       {std::string("送受信方式"), std::string(m.code), std::string(m.name)})) {
      return fail("category");
    }
  }
  return true;
}

}  // namespace edi
