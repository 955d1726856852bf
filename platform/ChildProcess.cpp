#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

// argv[0] is taken as a path, never searched on PATH: a bare name means a file in the working
// folder. The programs run as root, so which file runs must not depend on the caller's PATH.
// posix_spawn never falls back to a shell; glibc reports a failed exec (missing file, no execute
// permission, not an executable format) as its own error, so "could not start" is exact.

namespace platform {
namespace {

class SpawnFileActions {
 public:
  SpawnFileActions() { ok_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
  ~SpawnFileActions() {
    if (ok_) ::posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnFileActions(const SpawnFileActions&) = delete;
  SpawnFileActions& operator=(const SpawnFileActions&) = delete;

  // Standard output and standard error of the child on the null device; nothing else changes.
  bool redirectOutputToNullDevice() {
    return ok_ &&
           ::posix_spawn_file_actions_addopen(&actions_, STDOUT_FILENO, "/dev/null", O_WRONLY, 0) == 0 &&
           ::posix_spawn_file_actions_adddup2(&actions_, STDOUT_FILENO, STDERR_FILENO) == 0;
  }
  const posix_spawn_file_actions_t* get() const { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_{};
  bool ok_ = false;
};

// An argument holding a NUL byte cannot reach the child unchanged, so it is not passed at all.
bool passableUnchanged(const std::vector<std::string>& argv) {
  if (argv.empty() || argv.front().empty()) return false;
  for (const std::string& argument : argv) {
    if (argument.find('\0') != std::string::npos) return false;
  }
  return true;
}

std::optional<pid_t> spawnWithNullOutput(const std::vector<std::string>& argv) {
  SpawnFileActions actions;
  if (!actions.redirectOutputToNullDevice()) return std::nullopt;
  std::vector<char*> pointers;
  for (const std::string& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
  pointers.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawn(&pid, argv.front().c_str(), actions.get(), nullptr, pointers.data(), environ) != 0) {
    return std::nullopt;
  }
  return pid;
}

std::optional<int> waitForExit(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return std::nullopt;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return std::nullopt;
}

}  // namespace

std::optional<int> runChildAndWait(const std::vector<std::string>& argv) {
  if (!passableUnchanged(argv)) return std::nullopt;
  std::optional<pid_t> pid = spawnWithNullOutput(argv);
  if (!pid) return std::nullopt;
  return waitForExit(*pid);
}

}  // namespace platform
