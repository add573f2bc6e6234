// Starting an outside program and waiting for its end while the caller's
// window keeps repainting: the station's one way to run the TCP package and
// the translator.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace edi {

// Called at short intervals while the station waits, so that a window can
// let its pending events run. Headless programs pass a hook that does
// nothing.
using PendingEvents = std::function<void()>;

struct ProcessOptions {
  std::string workingFolder;  // "" for the current folder
  int inheritedFd = -1;       // the one descriptor besides 0, 1 and 2 the program keeps (-1: none)
  int timeoutSeconds = 0;     // 0: no time limit; past it the program's process group is ended
};

struct ProcessResult {
  bool started = false;   // false: the program could not be started (why says why)
  bool timedOut = false;  // it ran past its time limit and was ended
  int exitStatus = -1;    // the exit status, or 128 + signal
  std::string why;
};

// Starts `program` (an executable file, found by its path) with `args` in
// its own process group, then waits for its end, calling `pending` about
// every 50 ms meanwhile. The program inherits no descriptor of the station
// but the standard three (and `inheritedFd`). Past the time limit the whole
// group gets SIGTERM, and SIGKILL five seconds later.
ProcessResult RunAndWaitProgram(const std::string& program, const std::vector<std::string>& args,
                                const ProcessOptions& options, const PendingEvents& pending);

// Runs `command` through "/bin/sh -c" and waits as RunAndWaitProgram does.
ProcessResult RunShellCommand(const std::string& command, const ProcessOptions& options,
                              const PendingEvents& pending);

}  // namespace edi
