// Running the station's programs from the tests, as a user would.
#pragma once

#include <string>

namespace edi::test {

struct CommandResult {
  int status = -1;  // exit status; -1 when the program did not exit (a signal)
  std::string out, err;
};

// Runs `command` through the shell, collecting standard output and error.
CommandResult Command(const std::string& command);

// `text` quoted for the shell.
std::string Quoted(const std::string& text);

// The build's program `name` (apps/...).
std::string Program(const std::string& name);

}  // namespace edi::test
