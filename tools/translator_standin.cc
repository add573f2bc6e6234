// A stand-in for the translator program that registers the local files in
// the business application, for tests and the demo.
//
//   edi-translator-standin [--in FOLDER] [--fail KIND=CODE]... [--no-status]
//                          [--exit N] @COMMANDFILE
//
// It reads the command file (Windows-31J): every "/[EDI]<kind>TXT=<file>"
// line names a local file, in which %EDI_IN% stands for the inbound folder
// (--in, else the environment variable EDI_IN); "/[EDI]STATUS_FILE=<file>"
// names the status file. For each data kind it writes one status line
//   " " + kind (4) + 12 blanks + line count (6) + line count (6) + code (2)
// with code "00", the code given by --fail, or "90" when the file does not
// exist; then the end-mark line "1". --no-status writes no status file,
// --exit N ends with that exit status.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/ansi_codec.h"
#include "base/version.h"
#include "standin_timing.h"

namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

long CountLines(const std::string& path) {
  const std::string bytes = Read(path);
  long lines = 0;
  for (char c : bytes) lines += c == '\n';
  if (!bytes.empty() && bytes.back() != '\n') ++lines;
  return lines;
}

int Usage() {
  std::cerr << "usage: edi-translator-standin [--in FOLDER] [--fail KIND=CODE] [--no-status] [--exit N] @COMMANDFILE\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (edi::AnswerVersion(argc, argv, "edi-translator-standin")) return 0;
  if (argc == 2 && std::string(argv[1]) == "--help") {
    std::cout << "usage: edi-translator-standin [--in FOLDER] [--fail KIND=CODE] [--no-status] [--exit N] @COMMANDFILE\n\n"
                 "A stand-in for the translator that registers the local files in the business\n"
                 "application, for tests and the demo. It reads the command file, writes a status\n"
                 "line for each local file it names (0000, or CODE for the files of KIND given\n"
                 "with --fail), and exits with N (default 0).\n";
    return 0;
  }
  const StandinTiming timing;
  std::string inbound = std::getenv("EDI_IN") != nullptr ? std::getenv("EDI_IN") : "";
  std::map<std::string, std::string> failures;
  bool writeStatus = true;
  int exitStatus = 0;
  std::string commandFile;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--in" && i + 1 < argc) {
      inbound = argv[++i];
    } else if (arg == "--fail" && i + 1 < argc) {
      const std::string failure = argv[++i];
      const size_t eq = failure.find('=');
      if (eq == std::string::npos) return Usage();
      failures[failure.substr(0, eq)] = failure.substr(eq + 1);
    } else if (arg == "--no-status") {
      writeStatus = false;
    } else if (arg == "--exit" && i + 1 < argc) {
      exitStatus = std::atoi(argv[++i]);
    } else if (arg.size() > 1 && arg[0] == '@') {
      commandFile = arg.substr(1);
    } else {
      return Usage();
    }
  }
  if (commandFile.empty()) return Usage();
  if (!inbound.empty() && inbound.back() != '/') inbound.push_back('/');
  std::istringstream lines(edi::AnsiToUtf8(Read(commandFile)));
  std::vector<std::pair<std::string, std::string>> kinds;  // kind, file
  std::string statusFile;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string tag = "/[EDI]";
    if (line.rfind(tag, 0) != 0) continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(tag.size(), eq - tag.size());
    std::string value = line.substr(eq + 1);
    if (key == "STATUS_FILE") {
      statusFile = value;
    } else if (key.size() > 3 && key.compare(key.size() - 3, 3, "TXT") == 0) {
      const size_t placeholder = value.find("%EDI_IN%");
      if (placeholder != std::string::npos) value.replace(placeholder, 8, inbound);
      kinds.emplace_back(key.substr(0, key.size() - 3), value);
    }
  }
  if (writeStatus && !statusFile.empty()) {
    std::string status;
    for (const auto& [kind, file] : kinds) {
      std::ifstream exists(file);
      const long count = exists ? CountLines(file) : 0;
      const std::string code = failures.count(kind) ? failures[kind] : exists ? "00" : "90";
      char line[128];
      std::snprintf(line, sizeof line, " %-4.4s%12s%06ld%06ld%-2.2s\r\n", kind.c_str(), "", count, count, code.c_str());
      status += line;
    }
    status += "1\r\n";
    std::string ansi;
    edi::Utf8ToAnsi(status, ansi);
    std::ofstream(statusFile, std::ios::binary | std::ios::trunc) << ansi;
  }
  return exitStatus;
}
