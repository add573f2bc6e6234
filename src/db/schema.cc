#include "db/schema.h"

#include <algorithm>

namespace edi {
namespace {

struct Column {
  const char* name;
  const char* type;  // "T" text, "T<n>" text of n characters, "I" integer, "L" long, "S" short,
                     // "Z" integer that defaults to 0
  bool notNull;
};

struct Table {
  const char* name;
  std::vector<Column> columns;
  const char* primaryKey;
};

const std::vector<Table>& Tables() {
  static const std::vector<Table> tables = {
      {"FL1102処理履歴ファイル",
       {{"通番", "L", true},          {"枝番", "S", true},
        {"送受信種別", "T2", false},  {"相手先種別", "T2", false},
        {"処理種別", "T2", false},    {"処理開始日付", "T10", false},
        {"処理開始時刻", "T8", false}, {"センターコード", "T12", false},
        {"処理終了日付", "T10", false}, {"処理終了時刻", "T8", false},
        {"相手先企業コード", "T", false}, {"BPID", "T", false},
        {"取引情報区分", "T", false}, {"最終シーケンス番号", "L", false},
        {"入力レコード数", "L", false}, {"入力ファイルサイズ", "L", false},
        {"出力レコード数", "L", false}, {"出力ファイルサイズ", "L", false},
        {"格納モード", "T", false},   {"終了コード", "T4", false},
        {"詳細コード", "T4", false},  {"ファイル名", "T", false}},
       "通番, 枝番"},
      {"FL1903EDI制御マスタ",
       {{"センターコード", "T12", true},  {"センター名", "T", false},
        {"送受信方式", "T2", false},      {"送受信データ形式", "T2", false},
        {"相手先種別", "T2", false},      {"NTS受信相手先番号", "I", false},
        {"NTS受信ファイル番号", "I", false}, {"NTS受信ファイルパス", "T", false},
        {"相手先メールアドレス", "T", false}},
       "センターコード"},
      {"FL1915センタ利用企業マスタ",
       {{"センターコード", "T12", true}, {"相手先企業コード", "T", true}},
       "センターコード, 相手先企業コード"},
      {"区分マスタ",
       {{"区分", "T", true}, {"区分ｺｰﾄﾞ", "T", true}, {"区分名称", "T", false}},
       "区分, 区分ｺｰﾄﾞ"},
      {"FL1902フォーマット情報マスタ",
       {{"情報区分コード", "T4", true}, {"BPID", "T8", true},
        {"様式識別", "T", false},       {"シンタックスIDバージョン", "T", false},
        {"格納モード", "T", false},     {"1バイト文字集合", "T", false},
        {"2バイト文字集合", "T", false}, {"ローカル形式", "T", false},
        {"XML文字コード", "T", false}},
       "情報区分コード, BPID"},
      {"FL1903レコードフォーマット情報マスタ",
       {{"フォーマット種別", "T2", true}, {"情報区分コード", "T4", true},
        {"BPID", "T8", true},             {"項目通番", "I", true},
        {"対応項目通番", "Z", false},     {"レベル番号", "Z", false},
        {"項目№", "Z", false},           {"項目位置", "T", false},
        {"項目名称", "T", false},         {"属性", "T2", false},
        {"長さ", "Z", false},             {"小数部長さ", "Z", false},
        {"マルチ明細番号", "T", false},   {"繰返し数", "Z", false},
        {"固定項目値", "T", false},       {"変換エラー対処", "T", false}},
       "フォーマット種別, 情報区分コード, BPID, 項目通番"},
      {"FL1916メッセージグループ情報マスタ",
       {{"相手先コード", "T12", true},        {"自社コード", "T12", true},
        {"情報区分", "T4", true},             {"BPID", "T8", false},
        {"運用モード", "T", false},           {"発信VANコード", "T", false},
        {"発信センターコード", "T", false},   {"発信者コード", "T", false},
        {"受信VANコード", "T", false},        {"受信センターコード", "T", false},
        {"受信者コード", "T", false},         {"交換参照番号", "T", false},
        {"シンタックスIDバージョン", "T", false}, {"格納モード", "T", false},
        {"8ビット文字コード", "T", false},    {"16ビット文字コード", "T", false},
        {"短縮表示", "T", false},
        {"発信VANコード管理機関コード", "T", false},
        {"発信センターコード管理機関コード", "T", false},
        {"発信者コード管理機関コード", "T", false},
        {"受信VANコード管理機関コード", "T", false},
        {"受信センターコード管理機関コード", "T", false},
        {"受信者コード管理機関コード", "T", false}},
       "相手先コード, 自社コード, 情報区分"},
      // The station's own tables. The ledger of received files: one row per
      // document a receive step stored (several may share one file, each at
      // its offset), with its size and SHA-256, the transfer a re-run took it
      // from and the earlier transfer it duplicates.
      {"FL9101受信ファイル台帳",
       {{"通番", "L", true},           {"連番", "I", true},
        {"センターコード", "T", false}, {"ファイル名", "T", false},
        {"開始位置", "L", false},       {"サイズ", "L", false},
        {"SHA256", "T64", false},       {"文書ID", "T", false},
        {"送信者", "T", false},         {"受信日付", "T10", false},
        {"受信時刻", "T8", false},      {"再処理元通番", "L", false},
        {"重複元通番", "L", false},     {"局", "T", false}},
       "通番, 連番"},
      // The transfers a run has under way, with the station and process
      // that run them and the stage they are in: what the recovery of an
      // interrupted run reads.
      {"FL9102処理中転送",
       {{"通番", "L", true},           {"センターコード", "T", false},
        {"局", "T", false},             {"プロセスID", "L", false},
        {"段階", "T", false},           {"開始日付", "T10", false},
        {"開始時刻", "T8", false}},
       "通番"},
      // The outputs a conversion of a transfer under way created or appended
      // to, with the size each had before (-1: created).
      {"FL9103出力ジャーナル",
       {{"通番", "L", true},           {"連番", "I", true},
        {"ファイル名", "T", false},     {"元サイズ", "L", false}},
       "通番, 連番"},
  };
  return tables;
}

std::string Identifier(const char* name) {
  return (name[0] >= '0' && name[0] <= '9') ? "\"" + std::string(name) + "\"" : name;
}

// Text columns stay within 255 characters so that the PostgreSQL ODBC driver
// reports them as VARCHAR rather than as long text.
std::string TypeOf(const std::string& code, SqlDialect dialect) {
  switch (code[0]) {
    case 'L': return "BIGINT";
    case 'S': return "SMALLINT";
    case 'I': return "INTEGER";
    case 'Z': return "INTEGER DEFAULT 0";
    default: break;
  }
  const std::string length = code.size() > 1 ? code.substr(1) : "255";
  return dialect == SqlDialect::kSqlite ? "TEXT" : "VARCHAR(" + length + ")";
}

}  // namespace

std::vector<std::string> SchemaStatements(SqlDialect dialect) {
  std::vector<std::string> statements;
  for (const auto& table : Tables()) {
    std::string sql = "CREATE TABLE IF NOT EXISTS " + std::string(table.name) + " (";
    for (const auto& c : table.columns) {
      sql += "\n  " + Identifier(c.name) + " " + TypeOf(c.type, dialect) +
             (c.notNull ? " NOT NULL" : "") + ",";
    }
    sql += "\n  PRIMARY KEY (" + std::string(table.primaryKey) + ")\n)";
    statements.push_back(sql);
  }
  return statements;
}

std::vector<TableLayout> SchemaLayouts() {
  std::vector<TableLayout> layouts;
  for (const auto& table : Tables()) {
    TableLayout layout{table.name, {}, {}};
    for (const auto& c : table.columns) layout.columns.emplace_back(c.name, c.type[0] != 'T');
    const std::string key = table.primaryKey;
    for (size_t at = 0; at <= key.size();) {
      const size_t comma = std::min(key.find(',', at), key.size());
      std::string column = key.substr(at, comma - at);
      column.erase(0, column.find_first_not_of(' '));
      column.erase(column.find_last_not_of(' ') + 1);
      if (column.size() > 1 && column.front() == '"') column = column.substr(1, column.size() - 2);
      layout.key.push_back(column);
      at = comma + 1;
    }
    layouts.push_back(std::move(layout));
  }
  return layouts;
}

std::string SqlIdentifier(const std::string& name) { return Identifier(name.c_str()); }

std::vector<std::string> SchemaTableNames() {
  std::vector<std::string> names;
  for (const auto& table : Tables()) names.emplace_back(table.name);
  return names;
}

bool CreateSchema(Database& db) {
  for (const auto& sql : SchemaStatements(db.dialect())) {
    if (!db.ExecuteSql(sql)) return false;
  }
  return true;
}

bool AddMissingTables(Database& db) {
  const auto statements = SchemaStatements(db.dialect());
  for (size_t i = 0; i < Tables().size(); ++i) {
    ResultSet probe;
    if (db.Query("SELECT * FROM " + std::string(Tables()[i].name) + " WHERE 1 = 0", {}, probe)) continue;
    if (!db.ExecuteSql(statements[i])) return false;
  }
  return true;
}

}  // namespace edi
