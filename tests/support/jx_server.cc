#include "support/jx_server.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/command.h"
#include "support/format_fixture.h"

namespace edi::test {

bool JxServer::Start(const std::string& folder, const std::string& options) {
  Stop();
  const std::string portFile = folder + "/port";
  std::filesystem::remove(portFile);
  const std::string command = "exec " + Program("edi-jx-standin") + " serve " + Quoted(folder) + " --port 0 " +
                              options + " >>" + Quoted(folder + "/standin.out") + " 2>&1";
  pid_ = fork();
  if (pid_ == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
    _exit(127);
  }
  for (int i = 0; i < 200 && !std::filesystem::exists(portFile); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const std::string port = ReadFile(portFile);
  if (port.empty()) return false;
  const bool plain = options.find("--http") != std::string::npos;
  url_ = std::string(plain ? "http" : "https") + "://127.0.0.1:" + port.substr(0, port.find('\n')) + "/jx";
  return true;
}

void JxServer::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

void DropDemoJxCentre(const std::string& station) {
  Command("sqlite3 " + Quoted(station + "/data/edi.sqlite") +
          " \"DELETE FROM FL1903EDI制御マスタ WHERE センターコード = 'DEMOJ01'\"");
}

}  // namespace edi::test
