// cii-tool: the CII converters on the command line.
//
//   cii-tool dump FILE [--db CONNECTION]
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cii/cii_dump.h"
#include "db/open_database.h"

namespace {

int Usage() {
  std::cerr << "usage: cii-tool dump FILE [--db CONNECTION]\n"
               "CONNECTION: sqlite:PATH, an ODBC data source name, or an ODBC connection string\n";
  return 2;
}

int Dump(const std::vector<std::string_view>& args) {
  std::string file, connection;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--db" && i + 1 < args.size()) {
      connection = args[++i];
    } else if (file.empty()) {
      file = args[i];
    } else {
      return Usage();
    }
  }
  if (file.empty()) return Usage();
  edi::Database db;
  if (!connection.empty() && !edi::OpenDatabaseFromArgument(connection, db)) {
    std::cerr << "cii-tool: 接続エラー: " << db.LastError() << "\n";
    return 1;
  }
  const int problems = edi::cii::DumpCiiFile(file, connection.empty() ? nullptr : &db, std::cout);
  if (problems < 0) {
    std::cerr << "cii-tool: cannot read " << file << "\n";
    return 1;
  }
  return problems == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string_view command = argv[1];
  const std::vector<std::string_view> args(argv + 2, argv + argc);
  if (command == "dump") return Dump(args);
  return Usage();
}
