// edi-station: sets up a station folder and shows what the station holds.
//
//   edi-station init DIR [--demo]   create DIR with settings, folders, database
//   edi-station list DIR            start up against DIR and list its centres
//   edi-station schema sqlite|postgres   print the database schema
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "db/category.h"
#include "db/schema.h"
#include "jobs/control_master.h"
#include "startup/settings_folder.h"
#include "startup/startup.h"
#include "station/station_setup.h"

namespace {

int Usage() {
  std::cerr << "usage: edi-station init DIR [--demo]\n"
               "       edi-station list DIR\n"
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
  edi::ResultSet centres;
  std::vector<edi::CentreRow> rows;
  if (edi::QueryCentreList(db, centres) != "0000") {
    sink.ShowMessage("該当するデータがありませんでした");
    return 1;
  }
  if (edi::LoadCentreRows(centres, rows) != "0000") return 1;
  for (const auto& row : rows) {
    std::cout << row.centreCode << "\t" << row.centreName << "\t"
              << edi::LookupCategoryName(db, "送受信方式", row.transferMethod) << "\n";
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
  if (argc < 2) return Usage();
  const std::string_view command = argv[1];
  const std::vector<std::string_view> args(argv + 2, argv + argc);
  if (command == "init") return Init(args);
  if (command == "list") return List(args);
  if (command == "schema") return Schema(args);
  return Usage();
}
