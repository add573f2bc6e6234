// A stand-in for the NTS100 TCP package's program "z_tcp.exe", for tests and
// the demo. Started in the package's program folder, it reads the request
// file Zkeyin.dat and its own settings z_tcp-standin.ini there, and does what
// the package does for the station:
//   - receive (modes 1, 3): the file the partner "sent", SENT_DIR/<pp>_<ff>
//     (partner and file number in two digits), is written to the file the
//     package is configured to receive into, RECEIVE_<pp>_<ff>;
//   - send (modes 2, 4): that file is copied to SENT_DIR/sent_<pp>_<ff>;
//   - the status file NTS100_PATH/STS/Sts<serial>.TXT with the status first;
//   - one 88-byte record appended to NTS100_PATH/LOGFL.dat (created with a
//     first line when absent): 71 bytes of text, the count in 7 digits, a
//     blank, the serial in 8 digits, LF.
// Settings (section [standin]) that make it misbehave: STATUS (the status to
// write, default 0000; a partner with nothing sent gives 0100), NO_STATUS=1
// (write no status file), NO_LOG=1 (leave the serial out of the log),
// LOG_FILE (the log's name, default LOGFL.dat), EXIT (its exit status), DELAY_MS (time it takes), TRACE (a file where it
// appends "start <serial>" and "end <serial>"), FAIL_TIMES (the first n runs report 0105 and receive nothing).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/version.h"
#include "startup/profile_file.h"
#include "standin_timing.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> RequestLines() {
  std::ifstream in("Zkeyin.dat", std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void Trace(const std::string& file, const std::string& what, const std::string& serial) {
  if (!file.empty()) std::ofstream(file, std::ios::app) << what << " " << serial << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (edi::AnswerVersion(argc, argv, "z_tcp-standin")) return 0;
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::puts("usage: z_tcp-standin (run in the TCP package's program folder, as z_tcp.exe)\n\n"
              "A stand-in for the TCP file-transfer package's program, for tests and the demo.\n"
              "It reads the request Zkeyin.dat and its settings z_tcp-standin.ini ([standin]\n"
              "NTS100_PATH, SENT_DIR, RECEIVE_<pp>_<ff>, STATUS, EXIT, DELAY_MS ...) in the\n"
              "current folder, moves the partner's file, and writes the status file and log.");
    return 0;
  }
  const StandinTiming timing;
  const edi::ProfileFile ini = edi::ProfileFile::Load("z_tcp-standin.ini");
  auto setting = [&](const std::string& key) { return ini.Value("standin", key, 4096); };
  const std::vector<std::string> request = RequestLines();
  if (request.size() != 11) {
    std::fprintf(stderr, "z_tcp stand-in: Zkeyin.dat has %zu lines, not 11\n", request.size());
    return 3;
  }
  const std::string& serial = request[0];
  const std::string& mode = request[1];
  const std::string key = request[2] + "_" + request[3];
  Trace(setting("TRACE"), "start", serial);
  if (!setting("DELAY_MS").empty()) usleep(static_cast<useconds_t>(std::stol(setting("DELAY_MS")) * 1000));

  const fs::path nts = setting("NTS100_PATH");
  const fs::path sentDir = setting("SENT_DIR");
  const std::string receiveFile = setting("RECEIVE_" + key);
  std::string status = setting("STATUS").empty() ? "0000" : setting("STATUS");
  long count = 0;
  std::error_code ec;
  // FAIL_TIMES=n: the first n runs fail with status 0105 before anything is
  // received (a line that is down), counted in z_tcp-standin.failures.
  bool down = false;
  if (!setting("FAIL_TIMES").empty()) {
    const long failed = std::atol(Read("z_tcp-standin.failures").c_str());
    down = failed < std::stol(setting("FAIL_TIMES"));
    if (down) {
      std::ofstream("z_tcp-standin.failures", std::ios::trunc) << failed + 1;
      status = "0105";
    }
  }
  if (down) {
    // the line is down: nothing moves
  } else if (mode == "1" || mode == "3") {
    if (fs::is_regular_file(sentDir / key, ec) && !receiveFile.empty()) {
      const std::string bytes = Read(sentDir / key);
      std::ofstream(receiveFile, std::ios::binary | std::ios::trunc) << bytes;
      count = static_cast<long>(bytes.size() / 251);
    } else if (setting("STATUS").empty()) {
      status = "0100";  // nothing to receive
    }
  } else if (!receiveFile.empty()) {
    fs::copy_file(receiveFile, sentDir / ("sent_" + key), fs::copy_options::overwrite_existing, ec);
  }

  if (setting("NO_STATUS") != "1") {
    fs::create_directories(nts / "STS", ec);
    std::ofstream(nts / "STS" / ("Sts" + serial + ".TXT"), std::ios::binary) << "\"" << status << "\"," << serial
                                                                             << "," << mode << "\r\n";
  }
  const fs::path log = nts / (setting("LOG_FILE").empty() ? "LOGFL.dat" : setting("LOG_FILE"));
  if (!fs::exists(log, ec)) std::ofstream(log, std::ios::binary) << "NTS100 TRANSFER LOG\n";
  char record[128];
  const std::string logged = setting("NO_LOG") == "1" ? "99999999" : serial;
  std::snprintf(record, sizeof record, "%-71.71s%07ld %8.8s\n",
                ("P" + request[2] + " F" + request[3] + " M" + mode + " S" + status).c_str(), count, logged.c_str());
  std::ofstream(log, std::ios::binary | std::ios::app) << record;
  Trace(setting("TRACE"), "end", serial);
  return setting("EXIT").empty() ? 0 : std::stoi(setting("EXIT"));
}
