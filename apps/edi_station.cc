// edi-station: sets up a station folder and shows what the station holds.
//
//   edi-station init DIR [--demo] [--db CONNECTION]   create DIR with settings, folders, database
//   edi-station migrate DIR --to CONNECTION   move a SQLite station's tables into another database
//   edi-station list DIR            start up against DIR and list its centres
//   edi-station history DIR [options]    what happened to the transfers
//   edi-station status DIR [--format text|json]   the station at a glance
//   edi-station overdue DIR              the centres late with their deliveries
//   edi-station archive DIR --older-than DAYS      old backups and ERR.LOG into monthly archives
//   edi-station clean DIR [--keep-days N] [--include-failed] [--dry-run]
//   edi-station schema sqlite|postgres   print the database schema
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "db/category.h"
#include "db/schema.h"
#include "base/options.h"
#include "base/version.h"
#include "jobs/control_master.h"
#include "report/err_log_lines.h"
#include "report/history_format.h"
#include "report/history_reader.h"
#include "report/alert.h"
#include "report/overdue.h"
#include "report/station_status.h"
#include "jobs/recovery.h"
#include "startup/mail_settings.h"
#include "startup/startup_settings.h"
#include "startup/settings_folder.h"
#include "startup/startup.h"
#include "station/housekeeping.h"
#include "station/migration.h"
#include "base/text.h"
#include "station/station_setup.h"

namespace {

constexpr char kUsage[] =
    "usage: edi-station init DIR [--demo] [--db CONNECTION]\n"
    "       edi-station migrate DIR --to CONNECTION\n"
    "       edi-station list DIR\n"
    "       edi-station history DIR [--transfer N] [--centre CODE] [--since yyyy/mm/dd]\n"
    "                   [--until yyyy/mm/dd] [--failed] [--format text|csv|json]\n"
    "       edi-station status DIR [--format text|json]\n"
    "       edi-station overdue DIR\n"
    "       edi-station archive DIR --older-than DAYS\n"
    "       edi-station clean DIR [--keep-days N] [--include-failed] [--dry-run]\n"
    "       edi-station schema sqlite|postgres\n";

int Usage() {
  std::cerr << kUsage;
  return 2;
}

int Init(const std::vector<std::string_view>& args) {
  edi::ParsedOptions parsed;
  std::string error;
  if (!edi::ParseOptions(args, {{"demo", false}, {"db"}}, parsed, error) || parsed.plain().size() != 1) {
    if (!error.empty()) std::cerr << "edi-station init: " << error << "\n";
    return Usage();
  }
  edi::StationSetupOptions options;
  options.demo = parsed.Has("demo");
  options.database = edi::TrimBlanks(parsed.Value("db").value_or(""));
  if (parsed.Has("db") && options.database.empty()) {
    std::cerr << "edi-station init: --db wants a data source name or a connection string\n";
    return 2;
  }
  options.programSource = edi::RunningProgramFolder();
  std::filesystem::path dir;
  if (!edi::SetUpStation(parsed.plain()[0], options, dir, error)) {
    std::cerr << "edi-station: " << error << "\n";
    return 1;
  }
  std::cout << "station ready in " << dir.string() << "\n";
  return 0;
}

// A station started up from the folder a subcommand names (its programs'
// folder under it), failures told on standard error.
struct StartedStation {
  edi::StderrMessageSink sink;
  edi::ProgramState state;
  edi::Database db;
  std::filesystem::path bin;

  bool Start(std::string_view dir) {
    bin = (std::filesystem::absolute(std::string(dir)) / "system" / "bin").lexically_normal();
    return edi::StartUp(bin.string(), sink, state, db);
  }
};

int List(const std::vector<std::string_view>& args) {
  if (args.size() != 1) return Usage();
  StartedStation station;
  if (!station.Start(args[0])) return 1;
  std::vector<edi::CentreRow> rows;
  if (const edi::Outcome listed = edi::LoadCentreList(station.db, rows); !listed.ok()) {
    station.sink.ShowMessage("該当するデータがありませんでした", listed.reason);
    return 1;
  }
  for (const auto& row : rows) {
    std::cout << row.centreCode << "\t" << row.centreName << "\t"
              << edi::LookupCategoryName(station.db, "送受信方式", row.transferMethod) << "\n";
  }
  return 0;
}

// Reads the options of "history" into `filter` and `format`; false for a
// usage error (reported on standard error).
bool HistoryOptions(const edi::ParsedOptions& options, edi::report::HistoryFilter& filter, std::string& format) {
  auto refuse = [](const std::string& text) {
    std::cerr << "edi-station history: " << text << "\n";
    return false;
  };
  if (auto transfer = options.Value("transfer")) {
    const auto number = edi::ParseCount(*transfer);
    if (!number) return refuse("--transfer wants a transfer number, not \"" + *transfer + "\"");
    filter.transferNo = *number;
  }
  filter.centreCode = options.Value("centre");
  for (const char* name : {"since", "until"}) {
    auto date = options.Value(name);
    if (date && !edi::report::IsHistoryDate(*date)) return refuse(std::string("--") + name + " wants yyyy/mm/dd");
    (std::string_view(name) == "since" ? filter.since : filter.until) = date;
  }
  filter.failedOnly = options.Has("failed");
  format = options.Value("format").value_or("text");
  if (format != "text" && format != "csv" && format != "json") return refuse("--format is text, csv or json");
  return true;
}

int History(const std::vector<std::string_view>& args) {
  edi::ParsedOptions options;
  std::string error;
  if (!edi::ParseOptions(args,
                         {{"transfer"}, {"centre"}, {"since"}, {"until"}, {"failed", false}, {"format"}},
                         options, error)) {
    std::cerr << "edi-station history: " << error << "\n";
    return Usage();
  }
  if (options.Has("help")) {
    std::cout << "edi-station history DIR: the station's transfers, newest first, each with its steps,\n"
                 "codes and their meanings. --transfer N also shows the transfer's ERR.LOG lines.\n";
    return 0;
  }
  edi::report::HistoryFilter filter;
  std::string format;
  if (options.plain().size() != 1) return Usage();
  if (!HistoryOptions(options, filter, format)) return 2;
  StartedStation station;
  if (!station.Start(options.plain()[0])) return 1;
  std::vector<edi::report::TransferStory> stories;
  if (!edi::report::ReadHistory(station.db, filter, stories, error)) {
    std::cerr << "edi-station history: " << error << "\n";
    return 1;
  }
  if (filter.transferNo) {
    for (auto& story : stories) story.errLog = edi::report::ErrLogLinesOf(station.bin / "ERR.LOG", story.transferNo);
  }
  const edi::Language language = edi::LanguageOfLocale();
  if (format == "csv") std::cout << edi::report::FormatHistoryCsv(stories, language);
  else if (format == "json") std::cout << edi::report::FormatHistoryJson(stories, language);
  else std::cout << edi::report::FormatHistoryText(stories, language);
  return 0;
}

int Status(const std::vector<std::string_view>& args) {
  edi::ParsedOptions options;
  std::string error;
  if (!edi::ParseOptions(args, {{"format"}}, options, error) || options.plain().size() != 1) {
    if (!error.empty()) std::cerr << "edi-station status: " << error << "\n";
    return Usage();
  }
  const std::string format = options.Value("format").value_or("text");
  if (format != "text" && format != "json") {
    std::cerr << "edi-station status: --format is text or json\n";
    return 2;
  }
  StartedStation station;
  if (!station.Start(options.plain()[0])) return 1;
  std::vector<edi::report::CentreStatus> centres;
  const edi::Language language = edi::LanguageOfLocale();
  if (!edi::report::ReadStationStatus(station.db, station.bin / "ERR.LOG", edi::report::CurrentMoment().date, language,
                                      centres, error)) {
    std::cerr << "edi-station status: " << error << "\n";
    return 1;
  }
  std::cout << (format == "json" ? edi::report::FormatStatusJson(centres)
                                 : edi::report::FormatStatusText(centres, language));
  return 0;
}

int Overdue(const std::vector<std::string_view>& args) {
  if (args.size() != 1) return Usage();
  StartedStation station;
  if (!station.Start(args[0])) return 1;
  const edi::ProfileFile settings = edi::LoadStationSettings(station.state);
  std::vector<std::string> bad;
  edi::report::ReadExpectations(settings, bad);
  for (const auto& line : bad) std::cerr << "edi-station overdue: " << line << "\n";
  const edi::report::Moment now = edi::report::CurrentMoment();
  std::vector<edi::report::LateCentre> late;
  std::string error;
  if (!edi::report::FindLateCentres(station.db, settings, now, late, error)) {
    std::cerr << "edi-station overdue: " << error << "\n";
    return 1;
  }
  std::cout << edi::report::FormatLateCentres(late);
  const auto recipients = edi::report::ReadAlertRecipients(settings);
  if (!late.empty() && !recipients.empty()) {
    const std::string name = edi::StationName(station.state);
    const edi::Outcome sent = edi::report::SendAlertMail(
        recipients, edi::ReadMailSettings(settings), edi::report::LateSubject(name, late.size()),
        edi::report::LateBody(name, now, late), edi::MailWaiting{});
    if (!sent.ok()) {
      std::cerr << "edi-station overdue: " << sent.reason << "\n";
      edi::cii::ErrLog(station.bin / "ERR.LOG").Write(9999, " 警報: " + sent.reason);
    }
  }
  return late.empty() ? 0 : 1;
}

int Archive(const std::vector<std::string_view>& args) {
  edi::ParsedOptions options;
  std::string error;
  if (!edi::ParseOptions(args, {{"older-than"}}, options, error) || options.plain().size() != 1 ||
      !options.Value("older-than")) {
    std::cerr << "edi-station archive: " << (error.empty() ? "give DIR and --older-than DAYS" : error) << "\n";
    return Usage();
  }
  const auto days = edi::ParseCount(*options.Value("older-than"));
  if (!days) {
    std::cerr << "edi-station archive: --older-than takes a number of days\n";
    return 2;
  }
  StartedStation station;
  if (!station.Start(options.plain()[0])) return 1;
  std::vector<std::string> done;
  const bool archived =
      edi::ArchiveOldFiles(station.state, station.bin / "ERR.LOG", static_cast<int>(*days), std::time(nullptr), done,
                           error);
  for (const auto& line : done) std::cout << line << "\n";
  if (!archived) {
    std::cerr << "edi-station archive: " << error << "\n";
    return 1;
  }
  return 0;
}

int Clean(const std::vector<std::string_view>& args) {
  edi::ParsedOptions options;
  std::string error;
  if (!edi::ParseOptions(args, {{"keep-days"}, {"include-failed", false}, {"dry-run", false}}, options, error) ||
      options.plain().size() != 1) {
    if (!error.empty()) std::cerr << "edi-station clean: " << error << "\n";
    return Usage();
  }
  edi::CleanOptions clean;
  if (auto keep = options.Value("keep-days")) {
    const auto days = edi::ParseCount(*keep);
    if (!days) {
      std::cerr << "edi-station clean: --keep-days takes a number of days\n";
      return 2;
    }
    clean.keepDays = static_cast<int>(*days);
  }
  clean.includeFailed = options.Has("include-failed");
  clean.dryRun = options.Has("dry-run");
  StartedStation station;
  if (!station.Start(options.plain()[0])) return 1;
  std::vector<std::string> done;
  if (!edi::CleanOldRecords(station.db, station.state, clean, edi::report::CurrentMoment().date, done, error)) {
    std::cerr << "edi-station clean: " << error << "\n";
    return 1;
  }
  for (const auto& line : done) std::cout << line << "\n";
  if (done.empty()) std::cout << "nothing to remove\n";
  return 0;
}

int Migrate(const std::vector<std::string_view>& args) {
  edi::ParsedOptions options;
  std::string error;
  if (!edi::ParseOptions(args, {{"to"}}, options, error) || options.plain().size() != 1 ||
      edi::TrimBlanks(options.Value("to").value_or("")).empty()) {
    std::cerr << "edi-station migrate: " << (error.empty() ? "give DIR and --to CONNECTION" : error) << "\n";
    return Usage();
  }
  StartedStation station;
  if (!station.Start(options.plain()[0])) return 1;
  edi::MigrationReport report;
  const bool moved =
      edi::MigrateStation(station.state, station.db, edi::TrimBlanks(*options.Value("to")), report, error);
  for (const auto& line : report.lines) std::cout << line << "\n";
  if (!moved) {
    std::cerr << "edi-station migrate: " << error << "\n";
    return 1;
  }
  return 0;
}

int Schema(const std::vector<std::string_view>& args) {
  if (args.size() != 1 || (args[0] != "sqlite" && args[0] != "postgres")) return Usage();
  const auto dialect = args[0] == "sqlite" ? edi::SqlDialect::kSqlite : edi::SqlDialect::kPostgres;
  for (const auto& sql : edi::SchemaStatements(dialect)) std::cout << sql << ";\n\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (edi::AnswerVersion(argc, argv, "edi-station")) return 0;
  if (argc < 2) return Usage();
  const std::string_view command = argv[1];
  if (command == "--help") {
    std::cout << kUsage << "\nSets up a station folder (EDI.ini two folders above system/bin, the transfer\n"
                           "folders, the database) and shows what the station holds.\n";
    return 0;
  }
  const std::vector<std::string_view> args(argv + 2, argv + argc);
  if (command == "init") return Init(args);
  if (command == "list") return List(args);
  if (command == "history") return History(args);
  if (command == "status") return Status(args);
  if (command == "overdue") return Overdue(args);
  if (command == "archive") return Archive(args);
  if (command == "clean") return Clean(args);
  if (command == "schema") return Schema(args);
  if (command == "migrate") return Migrate(args);
  return Usage();
}
