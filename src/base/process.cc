#include "base/process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace edi {
namespace {

constexpr int kIntervalMs = 50;
constexpr int kKillGraceSeconds = 5;
constexpr int kKeptFd = 3;  // where the inherited descriptor lands in the program

using SteadyClock = std::chrono::steady_clock;

int StatusOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Waits for `pid`, calling `pending` between waits; past `deadline` ends the
// process group. A pidfd wakes the wait at once when the program ends;
// without one the wait polls.
int WaitFor(pid_t pid, const PendingEvents& pending, int timeoutSeconds, bool& timedOut) {
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  const auto start = SteadyClock::now();
  int status = 0;
  bool termSent = false, killSent = false;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) {
      status = -1;
      break;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(SteadyClock::now() - start).count();
    if (timeoutSeconds > 0 && elapsed >= timeoutSeconds && !termSent) {
      timedOut = termSent = true;
      kill(-pid, SIGTERM);
    }
    if (termSent && !killSent && elapsed >= timeoutSeconds + kKillGraceSeconds) {
      killSent = true;
      kill(-pid, SIGKILL);
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
                                const ProcessOptions& options, const PendingEvents& pending) {
  ProcessResult result;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!options.workingFolder.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.workingFolder.c_str());
  if (options.inheritedFd >= 0) posix_spawn_file_actions_adddup2(&actions, options.inheritedFd, kKeptFd);
  posix_spawn_file_actions_addclosefrom_np(&actions, options.inheritedFd >= 0 ? kKeptFd + 1 : kKeptFd);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t pid = 0;
  const int error = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    result.why = "cannot start " + program + ": " + std::strerror(error);
    return result;
  }
  result.started = true;
  result.exitStatus = WaitFor(pid, pending, options.timeoutSeconds, result.timedOut);
  return result;
}

ProcessResult RunShellCommand(const std::string& command, const ProcessOptions& options,
                              const PendingEvents& pending) {
  return RunAndWaitProgram("/bin/sh", {"-c", command}, options, pending);
}

}  // namespace edi
