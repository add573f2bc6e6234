// cii-tool: the CII converters on the command line.
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/options.h"
#include "base/version.h"
#include "cii/cii_dump.h"
#include "cii/converter_state.h"
#include "cii/local_converter.h"
#include "cii/output_file.h"
#include "cii/xml_converter.h"
#include "db/open_database.h"
#include "startup/settings_folder.h"
#include "startup/startup.h"

namespace {

constexpr char kUsage[] =
    "usage: cii-tool dump FILE [--db CONNECTION]\n"
    "       cii-tool to-local|from-local|to-xml|from-xml [--db CONNECTION] --in FILE --out PATH\n"
    "                [--log FILE] [--transfer N]\n"
    "\n"
    "  to-local    CII to local records: one file per message group, PATH with the group's\n"
    "              information category before the first \".\" of the file name (appended)\n"
    "  from-local  local records to CII message groups (appended to PATH)\n"
    "  to-xml      one XML document per message group: PATH, then PATH with 2, 3, ... before\n"
    "              the extension (replaced, only when the whole file converted)\n"
    "  from-xml    an XML document to CII message groups (appended to PATH)\n"
    "  dump        a readable listing of a CII file: groups, messages, elements, damage\n"
    "\n"
    "  --db CONNECTION  sqlite:PATH, an ODBC data source name or an ODBC connection string;\n"
    "                   without it the station's EDI.ini (two folders above this program) is used\n"
    "  --log FILE       the converter log (default ERR.LOG beside this program)\n"
    "  --transfer N     the transfer number of the log's start line (default 0)\n"
    "  Options take their value as \"--name value\" or \"--name=value\".\n"
    "\n"
    "exit status: 0 success; 1 the conversion failed (its four-digit code is printed and\n"
    "explained in ERR.LOG), nothing was written, the file has damage (dump), or start-up\n"
    "failed; 2 usage error (unknown option, malformed value, output naming the input)\n";

int Usage(const std::string& error) {
  std::cerr << "cii-tool: " << error << "\n" << kUsage;
  return 2;
}

bool OpenDb(const edi::ParsedOptions& options, edi::Database& db) {
  if (auto connection = options.Value("db")) {
    if (edi::OpenDatabaseFromArgument(*connection, db)) return true;
    std::cerr << "cii-tool: 接続エラー: " << *connection << ": " << db.LastError() << "\n";
    return false;
  }
  edi::StderrMessageSink sink;
  edi::ProgramState state;
  return edi::StartUp(edi::RunningProgramFolder(), sink, state, db);
}

int Dump(const edi::ParsedOptions& options) {
  if (options.plain().size() != 2) return Usage("dump takes one file");
  const std::string& file = options.plain()[1];
  edi::Database db;
  const bool withDb = options.Has("db");
  if (withDb && !OpenDb(options, db)) return 1;
  const int problems = edi::cii::DumpCiiFile(file, withDb ? &db : nullptr, std::cout);
  if (problems < 0) {
    std::cerr << "cii-tool: cannot read " << file << "\n";
    return 1;
  }
  return problems == 0 ? 0 : 1;
}

enum class Direction { kToLocal, kFromLocal, kToXml, kFromXml };

int Convert(const edi::ParsedOptions& options, Direction direction) {
  if (options.plain().size() != 1) return Usage("unexpected argument " + options.plain()[1]);
  const auto in = options.Value("in");
  const auto out = options.Value("out");
  if (!in || !out) return Usage("--in and --out are needed");
  edi::TransferNo transfer = 0;
  if (auto text = options.Value("transfer")) {
    auto number = edi::ParseCount(*text);
    if (!number) return Usage("--transfer takes a whole number, not \"" + *text + "\"");
    transfer = *number;
  }
  // An output naming the input would destroy the input: refused before
  // anything is written.
  if (auto input = edi::cii::IdentityOf(*in); input && edi::cii::IdentityOf(*out) == input) {
    return Usage("--out " + *out + " names the input file " + *in);
  }
  edi::Database db;
  if (!OpenDb(options, db)) return 1;
  edi::cii::ConverterState state;
  state.errLog = edi::cii::ErrLog(options.Value("log").value_or(edi::RunningProgramFolder() + "/ERR.LOG"));
  std::string result;
  int written = 1;
  if (direction == Direction::kToLocal || direction == Direction::kFromLocal) {
    result = edi::cii::ConvertLocal(state, db, transfer,
                                    direction == Direction::kToLocal ? edi::cii::LocalDirection::kCiiToLocal
                                                                     : edi::cii::LocalDirection::kLocalToCii,
                                    *in, *out);
  } else {
    const bool toXml = direction == Direction::kToXml;
    result = edi::cii::ConvertCiiXml(state, db, *in, *out, transfer, toXml, written);
    if (result == "0000" && written == 0) {
      std::cerr << "cii-tool: nothing was written to " << *out
                << (toXml ? " (no complete message group in the CII file)\n"
                          : " (no message group in the document)\n");
      return 1;
    }
  }
  if (result == "0000") return 0;
  std::cout << result << "\n";
  std::cerr << "cii-tool: the conversion failed with code " << result << ": "
            << edi::cii::DescribeConverterCode(std::stoi(result)) << " (see " << state.errLog.path().string()
            << ")\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (edi::AnswerVersion(argc, argv, "cii-tool")) return 0;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  edi::ParsedOptions options;
  std::string error;
  if (!edi::ParseOptions(args, {{"db"}, {"in"}, {"out"}, {"log"}, {"transfer"}}, options, error)) {
    return Usage(error);
  }
  if (options.Has("help")) {
    std::cout << kUsage;
    return 0;
  }
  if (options.plain().empty()) return Usage("no command");
  const std::string& command = options.plain()[0];
  if (command == "dump") return Dump(options);
  if (command == "to-local") return Convert(options, Direction::kToLocal);
  if (command == "from-local") return Convert(options, Direction::kFromLocal);
  if (command == "to-xml") return Convert(options, Direction::kToXml);
  if (command == "from-xml") return Convert(options, Direction::kFromXml);
  return Usage("unknown command " + command);
}
