#include "station/station_setup.h"

#include <fstream>

#include "base/files.h"
#include "base/text.h"
#include "db/database.h"
#include "db/open_database.h"
#include "db/schema.h"
#include "station/demo_data.h"
#include "station/demo_transfers.h"
#include "startup/profile_file.h"
#include "startup/system_profile.h"

namespace edi {
namespace fs = std::filesystem;
namespace {

std::string SettingsText(const fs::path& dir, const std::string& dataSource) {
  const std::string d = dir.string();
  SystemProfile profile;
  return
      "; Settings of the EDI receiving station.\r\n"
      "[動作環境]\r\n"
      "USERID=\r\n"
      "PASSWD=\r\n"
      "DBSTRING=" + dataSource + "\r\n"
      "MACHINENAME=" + profile.computerName() + "\r\n"
      "\r\n"
      "[Setting0]\r\n"
      "FormBackColor=&H8000000F\r\n"
      "TitleBackColor=8421376\r\n"
      "TitleForeColor=16777215\r\n"
      "TitleFontName=ＭＳ ゴシック\r\n"
      "TitleFontSize=11\r\n"
      "TitleFontBold=True\r\n"
      "TitleFontItalic=False\r\n"
      "TitleFontStrikethru=False\r\n"
      "TitleFontUnderline=False\r\n"
      "TextBackColor=16777215\r\n"
      "TextForeColor=0\r\n"
      "TextFocusColor=12648447\r\n"
      "TextFontName=ＭＳ ゴシック\r\n"
      "TextFontSize=11\r\n"
      "TextFontBold=False\r\n"
      "TextFontItalic=False\r\n"
      "TextFontStrikethru=False\r\n"
      "TextFontUnderline=False\r\n"
      "LabelBackColor=14737632\r\n"
      "LabelForeColor=0\r\n"
      "LabelFontName=ＭＳ ゴシック\r\n"
      "LabelFontSize=11\r\n"
      "LabelFontBold=False\r\n"
      "LabelFontItalic=False\r\n"
      "LabelFontStrikethru=False\r\n"
      "LabelFontUnderline=False\r\n"
      "\r\n"
      "[M470410]\r\n"
      "MINIMAIZE=1\r\n"
      "DEMOMODE=0\r\n"
      "\r\n"
      "[PATH]\r\n"
      "NTS100_PATH=" + d + "/nts/\r\n"
      "NTS100_PROGRAM_DIR=" + d + "/nts/program/\r\n"
      "EDIINFIL=" + d + "/in/\r\n"
      "EDIOUTFIL=" + d + "/out/\r\n"
      "MGSTPATH=" + d + "/status\r\n"
      "OLD_FILE=" + d + "/old/\r\n"
      "MGCMDLINEKR=" + d + "/system/bin/edi-translator-standin --in " + d + "/in/\r\n"
      "PRPATH=" + d + "/command\r\n"
      "STPATH=" + d + "/status\r\n"
      "MGPATH=" + d + "/system\r\n"
      "EPMSCM=\r\n"
      "\r\n"
      "[JKBN_K_J]\r\n"
      "0101\r\n"
      "\r\n"
      "[デバッグ]\r\n"
      "MODE=0\r\n"
      "\r\n"
      "[COLOR]\r\n"
      "通常=0\r\n"
      "エラー=255\r\n"
      "処理済=16711680\r\n"
      "処理中=32768\r\n"
      "\r\n"
      "[MAPI]\r\n"
      "ProfileName=maildir://" + d + "/mail\r\n"
      "Password=\r\n"
      "SendURL=sendmail://\r\n"
      "\r\n"
      "[MAIL]\r\n"
      "MAIL-TEXT=EDIデータを送付します。\r\n";
}

// The demo's JX centre reaches the stand-in server on this machine (scripts
// start it on this port), trusting the stand-in's own test authority.
constexpr char kDemoJxSection[] =
    "\r\n[JX:DEMOJ01]\r\n"
    "URL=https://127.0.0.1:47230/jx\r\n"
    "CLIENT_ID=4912345000019\r\n"
    "SERVER_ID=jx-standin\r\n"
    "USER=demo\r\n"
    "PASSWORD=demo-password\r\n"
    "CA_FILE=jx/ca.pem\r\n"
    "TIMEOUT=30\r\n"
    "MAX_DOCUMENTS=100\r\n";

std::string DataSourceOf(const StationSetupOptions& options) {
  return options.database.empty() ? "sqlite:data/edi.sqlite" : options.database;
}

bool WriteSettingsFile(const fs::path& dir, const StationSetupOptions& options, std::string& error) {
  const fs::path file = dir / "EDI.ini";
  std::string text;
  const bool existed = fs::exists(file);
  if (existed && !ReadWholeFile(file, text)) {
    error = "cannot read " + file.string();
    return false;
  }
  // A station that names another database is moved by migrate, not here.
  if (existed && !options.database.empty()) {
    const std::string named = TrimBlanks(ProfileFile::Parse(text).Value("動作環境", "DBSTRING"));
    if (named != options.database) {
      error = file.string() + " names another database (DBSTRING=" + named +
              "): a station is moved with edi-station migrate";
      return false;
    }
  }
  // An existing file is kept; a demo set-up adds its JX section when missing.
  std::string added = existed ? "" : SettingsText(dir, DataSourceOf(options));
  if (options.demo && text.find("[JX:DEMOJ01]") == std::string::npos) added += kDemoJxSection;
  if (added.empty()) return true;
  std::ofstream out(file, std::ios::binary | std::ios::app);
  out << added;
  if (!out) {
    error = "cannot write " + file.string();
    return false;
  }
  return true;
}

// The categories every station has: the JX transfer method, which the
// station speaks itself.
bool AddStationCategories(Database& db) {
  return db.ExecuteSql("INSERT INTO 区分マスタ (区分, 区分ｺｰﾄﾞ, 区分名称) SELECT '送受信方式', 'J', 'JX手順'"
                       " WHERE NOT EXISTS (SELECT 1 FROM 区分マスタ WHERE 区分 = '送受信方式' AND 区分ｺｰﾄﾞ = 'J')");
}

// The embedded SQLite file is created when missing; any other data source
// must exist already (its tables are created in it).
bool OpenStationDatabase(const fs::path& dir, const StationSetupOptions& options, Database& db,
                         std::string& error) {
  if (options.database.empty()) {
    const fs::path dbFile = dir / "data" / "edi.sqlite";
    std::error_code ec;
    const bool created = !fs::exists(dbFile, ec);
    // A new station's file logs ahead; an existing one keeps its journal.
    if (db.CreateSqlite(dbFile.string()) && (!created || db.UseWriteAheadLog())) return true;
    error = "cannot create the database " + dbFile.string() + ": " + db.LastError();
    return false;
  }
  const DatabaseLogin login{options.database, "", ""};
  std::string used;
  if (OpenDatabase(login, dir.string(), db, used)) return true;
  error = "cannot open the database: " + DescribeConnectionFailure(login, db);
  return false;
}

bool CopyPrograms(const fs::path& source, const fs::path& bin, std::string& error) {
  std::error_code ec;
  for (const auto& name : StationProgramNames()) {
    const fs::path from = source / name;
    if (!fs::is_regular_file(from, ec)) continue;
    const fs::path to = bin / name;
    if (fs::equivalent(from, to, ec)) continue;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) {
      error = "cannot copy " + from.string() + ": " + ec.message();
      return false;
    }
  }
  return true;
}

}  // namespace

const std::vector<std::string>& StationProgramNames() {
  static const std::vector<std::string> names = {
      "edi-station", "edi-monitor", "edi-receive", "cii-tool",
      "edi-translator-standin", "z_tcp-standin", "edi-jx-standin"};
  return names;
}

bool SetUpStation(const fs::path& dirIn, const StationSetupOptions& options, fs::path& created,
                  std::string& error) {
  std::error_code ec;
  if (dirIn.empty()) {
    error = "no station folder given";
    return false;
  }
  const fs::path dir = fs::absolute(dirIn, ec).lexically_normal();
  if (ec) {
    error = "cannot use the folder " + dirIn.string() + ": " + ec.message();
    return false;
  }
  created = dir;
  for (const char* sub : {"data", "system/bin", "in", "out", "old", "status", "command", "nts/STS",
                          "nts/program", "nts/recv", "recv/DEMOM01", "recv/DEMOW01", "recv/DEMOW02", "mail/new", "mail/cur", "mail/tmp"}) {
    fs::create_directories(dir / sub, ec);
    if (ec) {
      error = "cannot create " + (dir / sub).string() + ": " + ec.message();
      return false;
    }
  }
  if (!WriteSettingsFile(dir, options, error)) return false;

  Database db;
  if (!OpenStationDatabase(dir, options, db, error)) return false;
  if (!CreateSchema(db) || !AddStationCategories(db)) {
    error = "cannot create the tables in " + DataSourceOf(options) + ": " + db.LastError();
    return false;
  }
  // A shared database keeps the rows another station wrote.
  const DemoRows rows = options.database.empty() ? DemoRows::kReplace : DemoRows::kKeepExisting;
  if (options.demo && !InsertDemoData(db, dir, rows, error)) return false;
  if (!options.programSource.empty() && !CopyPrograms(options.programSource, dir / "system/bin", error)) return false;
  return !options.demo || options.programSource.empty() ||
         PrepareDemoTransfers(db, dir, options.programSource, error);
}

}  // namespace edi
