#include "station/migration.h"

#include <ctime>
#include <filesystem>

#include "base/files.h"
#include "base/text.h"
#include "db/open_database.h"
#include "db/table_copy.h"

namespace edi {
namespace {

// Where the DBSTRING line of the settings text begins and ends (without its
// line break); false when there is none.
bool FindDataSourceLine(const std::string& text, size_t& begin, size_t& end) {
  for (size_t at = 0; at < text.size(); at = end + 1) {
    end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = TrimBlanks(std::string_view(text).substr(at, end - at));
    const size_t equals = line.find('=');
    if (equals != std::string::npos && EqualsIgnoreAsciiCase(TrimBlanks(line.substr(0, equals)), "DBSTRING")) {
      begin = at;
      if (end > begin && text[end - 1] == '\r') --end;
      return true;
    }
  }
  return false;
}

std::string Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char date[16];
  std::strftime(date, sizeof date, "%Y/%m/%d", &local);
  return date;
}

}  // namespace

bool MigrateStation(const ProgramState& state, Database& from, const std::string& target, MigrationReport& report,
                    std::string& error) {
  if (from.dialect() != SqlDialect::kSqlite) {
    error = "the station's database is not its SQLite file (DBSTRING=" + state.database.dataSource +
            "): there is nothing to move";
    return false;
  }
  const std::filesystem::path settingsFile = std::filesystem::path(state.settingsFolder) / "EDI.ini";
  std::string settings;
  size_t begin = 0, end = 0;
  if (!ReadWholeFile(settingsFile, settings) || !FindDataSourceLine(settings, begin, end)) {
    error = "cannot find the DBSTRING line in " + settingsFile.string() + ": nothing copied";
    return false;
  }
  const DatabaseLogin login{target, state.database.user, state.database.password};
  Database to;
  std::string used;
  if (!OpenDatabase(login, state.settingsFolder, to, used)) {
    error = "cannot open the target: " + DescribeConnectionFailure(login, to);
    return false;
  }
  const auto progress = [&](const std::string& table, const CopiedTable& copied) {
    report.lines.push_back(table + ": " + std::to_string(copied.rows) + " rows copied" +
                           (copied.kept > 0 ? ", " + std::to_string(copied.kept) + " already there kept" : ""));
  };
  if (!CopyStationTables(from, to, error, progress)) return false;

  const std::string formerLine = settings.substr(begin, end - begin);
  const std::string lineBreak = end < settings.size() && settings[end] == '\r' ? "\r\n" : "\n";
  settings.replace(begin, end - begin,
                   "; " + formerLine + "  (before edi-station migrate, " + Today() + ")" + lineBreak +
                       "DBSTRING=" + target);
  std::string why;
  if (!WriteFileAtomically(settingsFile, settings, why)) {
    error = "the tables were copied, but " + settingsFile.string() + " could not be changed (" + why +
            "): set DBSTRING=" + target + " there by hand";
    return false;
  }
  report.lines.push_back(settingsFile.string() + ": DBSTRING=" + target);
  return true;
}

}  // namespace edi
