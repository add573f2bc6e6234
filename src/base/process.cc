#include "base/process.h"

#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace edi {
namespace {

constexpr int kIntervalMs = 50;

int StatusOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Waits for `pid`, calling `pending` between waits. A pidfd wakes the wait
// at once when the program ends; without one the wait polls.
int WaitFor(pid_t pid, const PendingEvents& pending) {
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) {
      status = -1;
      break;
    }
    if (pending) pending();
    if (pidfd >= 0) {
      struct pollfd fd = {pidfd, POLLIN, 0};
      poll(&fd, 1, kIntervalMs);
    } else {
      usleep(kIntervalMs * 1000);
    }
  }
  if (pidfd >= 0) close(pidfd);
  return status < 0 ? -1 : StatusOf(status);
}

}  // namespace

ProcessResult RunAndWaitProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::string& workingFolder, const PendingEvents& pending) {
  ProcessResult result;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!workingFolder.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
  pid_t pid = 0;
  const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    result.why = "cannot start " + program + ": " + std::strerror(error);
    return result;
  }
  result.started = true;
  result.exitStatus = WaitFor(pid, pending);
  return result;
}

ProcessResult RunShellCommand(const std::string& command, const PendingEvents& pending) {
  return RunAndWaitProgram("/bin/sh", {"-c", command}, "", pending);
}

}  // namespace edi
