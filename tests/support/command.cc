#include "support/command.h"

#include <sys/wait.h>

#include <cstdio>

#include "support/format_fixture.h"
#include "support/test_db.h"

namespace edi::test {

CommandResult Command(const std::string& command) {
  const auto errFile = TempDir("stderr") / "err.txt";
  FILE* pipe = popen((command + " 2>" + errFile.string()).c_str(), "r");
  CommandResult run;
  if (pipe == nullptr) return run;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.err = ReadFile(errFile.string());
  return run;
}

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted.push_back(c);
    }
  }
  return quoted + "'";
}

std::string Program(const std::string& name) {
#ifdef EDI_BINARY_DIR
  return std::string(EDI_BINARY_DIR) + "/apps/" + name;
#else
  return name;
#endif
}

}  // namespace edi::test
