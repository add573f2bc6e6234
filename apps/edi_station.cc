// edi-station: sets up a station folder and shows what the station holds.
//
//   edi-station init DIR [--demo]   create DIR with settings, folders, database
//   edi-station list DIR            start up against DIR and list its centres
//   edi-station history DIR [options]    what happened to the transfers
//   edi-station schema sqlite|postgres   print the database schema
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "db/category.h"
#include "db/schema.h"
#include "base/options.h"
#include "jobs/control_master.h"
#include "report/err_log_lines.h"
#include "report/history_format.h"
#include "report/history_reader.h"
#include "startup/settings_folder.h"
#include "startup/startup.h"
#include "station/station_setup.h"

namespace {

int Usage() {
  std::cerr << "usage: edi-station init DIR [--demo]\n"
               "       edi-station list DIR\n"
               "       edi-station history DIR [--transfer N] [--centre CODE] [--since yyyy/mm/dd]\n"
               "                   [--until yyyy/mm/dd] [--failed] [--format text|csv|json]\n"
               "       edi-station schema sqlite|postgres\n";
  return 2;
}

int Init(const std::vector<std::string_view>& args) {
  if (args.empty() || args.size() > 2 || (args.size() == 2 && args[1] != "--demo")) return Usage();
  edi::StationSetupOptions options;
  options.demo = args.size() == 2;
  options.programSource = edi::RunningProgramFolder();
  std::string error;
  std::filesystem::path dir;
  if (!edi::SetUpStation(std::string(args[0]), options, dir, error)) {
    std::cerr << "edi-station: " << error << "\n";
    return 1;
  }
  std::cout << "station ready in " << dir.string() << "\n";
  return 0;
}

int List(const std::vector<std::string_view>& args) {
  if (args.size() != 1) return Usage();
  const auto bin = std::filesystem::absolute(std::string(args[0])) / "system" / "bin";
  edi::StderrMessageSink sink;
  edi::ProgramState state;
  edi::Database db;
  if (!edi::StartUp(bin.lexically_normal().string(), sink, state, db)) return 1;
  std::vector<edi::CentreRow> rows;
  if (const edi::Outcome listed = edi::LoadCentreList(db, rows); !listed.ok()) {
    sink.ShowMessage("該当するデータがありませんでした", listed.reason);
    return 1;
  }
  for (const auto& row : rows) {
    std::cout << row.centreCode << "\t" << row.centreName << "\t"
              << edi::LookupCategoryName(db, "送受信方式", row.transferMethod) << "\n";
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
  const auto bin = (std::filesystem::absolute(options.plain()[0]) / "system" / "bin").lexically_normal();
  edi::StderrMessageSink sink;
  edi::ProgramState state;
  edi::Database db;
  if (!edi::StartUp(bin.string(), sink, state, db)) return 1;
  std::vector<edi::report::TransferStory> stories;
  if (!edi::report::ReadHistory(db, filter, stories, error)) {
    std::cerr << "edi-station history: " << error << "\n";
    return 1;
  }
  if (filter.transferNo) {
    for (auto& story : stories) story.errLog = edi::report::ErrLogLinesOf(bin / "ERR.LOG", story.transferNo);
  }
  const edi::Language language = edi::LanguageOfLocale();
  if (format == "csv") std::cout << edi::report::FormatHistoryCsv(stories, language);
  else if (format == "json") std::cout << edi::report::FormatHistoryJson(stories, language);
  else std::cout << edi::report::FormatHistoryText(stories, language);
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
  if (argc < 2) return Usage();
  const std::string_view command = argv[1];
  const std::vector<std::string_view> args(argv + 2, argv + argc);
  if (command == "init") return Init(args);
  if (command == "list") return List(args);
  if (command == "history") return History(args);
  if (command == "schema") return Schema(args);
  return Usage();
}
