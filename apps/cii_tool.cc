// cii-tool: the CII converters on the command line.
//
//   cii-tool dump FILE [--db CONNECTION]
//   cii-tool to-local   [--db CONNECTION] --in FILE.CII --out PATH --log FILE [--transfer N]
//   cii-tool from-local [--db CONNECTION] --in FILE --out FILE.CII --log FILE [--transfer N]
//   cii-tool from-xml   [--db CONNECTION] --in FILE.xml --out FILE.CII --log FILE [--transfer N]
//   cii-tool to-xml     [--db CONNECTION] --in FILE.CII --out FILE.xml --log FILE [--transfer N]
//
// CONNECTION takes the forms of DBSTRING (sqlite:PATH, or an ODBC data
// source); without --db the station's EDI.ini is used as the programs find it
// (two folder levels above this program). The log defaults to ERR.LOG in
// this program's folder.
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "cii/cii_dump.h"
#include "cii/converter_state.h"
#include "cii/local_converter.h"
#include "cii/xml_converter.h"
#include "db/open_database.h"
#include "startup/settings_folder.h"
#include "startup/startup.h"

namespace {

int Usage() {
  std::cerr << "usage: cii-tool dump FILE [--db CONNECTION]\n"
               "       cii-tool to-local|from-local|to-xml|from-xml [--db CONNECTION] --in FILE --out PATH"
               " [--log FILE] [--transfer N]\n"
               "CONNECTION: sqlite:PATH, an ODBC data source name, or an ODBC connection string\n";
  return 2;
}

// Options of the form --name value, and the plain arguments.
struct Arguments {
  std::map<std::string, std::string> options;
  std::vector<std::string> plain;
  bool valid = true;
};

Arguments Parse(const std::vector<std::string_view>& args) {
  Arguments parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i].substr(0, 2) == "--") {
      if (i + 1 >= args.size()) {
        parsed.valid = false;
        break;
      }
      parsed.options[std::string(args[i].substr(2))] = args[i + 1];
      ++i;
    } else {
      parsed.plain.emplace_back(args[i]);
    }
  }
  return parsed;
}

bool OpenDb(const Arguments& args, edi::Database& db) {
  auto connection = args.options.find("db");
  if (connection != args.options.end()) {
    if (edi::OpenDatabaseFromArgument(connection->second, db)) return true;
    std::cerr << "cii-tool: 接続エラー: " << db.LastError() << "\n";
    return false;
  }
  edi::StderrMessageSink sink;
  edi::ProgramState state;
  return edi::StartUp(edi::RunningProgramFolder(), sink, state, db);
}

int Dump(const Arguments& args) {
  if (args.plain.size() != 1) return Usage();
  edi::Database db;
  const bool withDb = args.options.count("db") > 0;
  if (withDb && !OpenDb(args, db)) return 1;
  const int problems = edi::cii::DumpCiiFile(args.plain[0], withDb ? &db : nullptr, std::cout);
  if (problems < 0) {
    std::cerr << "cii-tool: cannot read " << args.plain[0] << "\n";
    return 1;
  }
  return problems == 0 ? 0 : 1;
}

enum class Direction { kToLocal, kFromLocal, kToXml, kFromXml };

int Convert(const Arguments& args, Direction direction) {
  if (!args.plain.empty() || !args.options.count("in") || !args.options.count("out")) return Usage();
  long transfer = 0;
  if (auto t = args.options.find("transfer"); t != args.options.end()) {
    try {
      transfer = std::stol(t->second);
    } catch (const std::exception&) {
      return Usage();
    }
  }
  edi::Database db;
  if (!OpenDb(args, db)) return 1;
  edi::cii::ConverterState state;
  auto log = args.options.find("log");
  state.errLogPath = log != args.options.end() ? log->second : edi::RunningProgramFolder() + "/ERR.LOG";
  const std::string& in = args.options.at("in");
  const std::string& out = args.options.at("out");
  std::string result;
  if (direction == Direction::kToLocal || direction == Direction::kFromLocal) {
    edi::cii::ConvertLocalCii(state, db, transfer, direction == Direction::kToLocal ? "2" : "1", in, out, result);
  } else {
    const bool toXml = direction == Direction::kToXml;
    const int written = edi::cii::ConvertCiiXml(state, db, in, out, transfer, toXml, result);
    if (result == "0000" && written == 0) {
      std::cerr << "cii-tool: nothing was written to " << out
                << (toXml ? " (no complete message group in the CII file)\n"
                          : " (no message group in the document)\n");
      return 1;
    }
  }
  if (result == "0000") return 0;
  std::cout << result << "\n";
  std::cerr << "cii-tool: the conversion failed with code " << result << " (see " << state.errLogPath.string() << ")\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string_view command = argv[1];
  const Arguments args = Parse(std::vector<std::string_view>(argv + 2, argv + argc));
  if (!args.valid) return Usage();
  if (command == "dump") return Dump(args);
  if (command == "to-local") return Convert(args, Direction::kToLocal);
  if (command == "from-local") return Convert(args, Direction::kFromLocal);
  if (command == "to-xml") return Convert(args, Direction::kToXml);
  if (command == "from-xml") return Convert(args, Direction::kFromXml);
  return Usage();
}
