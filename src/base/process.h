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

struct ProcessResult {
  bool started = false;  // false: the program could not be started (why says why)
  int exitStatus = -1;   // the exit status, or 128 + signal
  std::string why;
};

// Starts `program` (an executable file, found by its path) with `args` in
// `workingFolder` ("" for the current folder), then waits without time limit
// for its end, calling `pending` about every 50 ms meanwhile.
ProcessResult RunAndWaitProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::string& workingFolder, const PendingEvents& pending);

// Runs `command` through "/bin/sh -c" and waits as RunAndWaitProgram does.
ProcessResult RunShellCommand(const std::string& command, const PendingEvents& pending);

}  // namespace edi
