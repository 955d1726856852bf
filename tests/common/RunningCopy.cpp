#include "common/RunningCopy.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace testing_support {

namespace fs = std::filesystem;

std::optional<RunningCopy> RunningCopy::start(const fs::path& program, const fs::path& executable,
                                              const std::vector<std::string>& arguments) {
  std::error_code error;
  fs::create_directories(executable.parent_path(), error);
  if (!fs::copy_file(program, executable, fs::copy_options::overwrite_existing, error)) {
    return std::nullopt;
  }
  fs::permissions(executable, fs::perms(0755), error);

  std::vector<std::string> words = {executable.string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  // posix_spawn returns once the child has executed the program (or reports why it could not),
  // so /proc/<pid>/exe names the copy from here on.
  pid_t pid = -1;
  if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
    return std::nullopt;
  }
  RunningCopy running(pid);
  if (running.executablePath() != executable.string()) return std::nullopt;
  return running;
}

RunningCopy::RunningCopy(RunningCopy&& other) noexcept : pid_(other.pid_) { other.pid_ = -1; }

RunningCopy::~RunningCopy() { stop(); }

std::string RunningCopy::executablePath() const {
  std::error_code error;
  fs::path target = fs::read_symlink("/proc/" + std::to_string(pid_) + "/exe", error);
  return error ? std::string() : target.string();
}

bool RunningCopy::stop() {
  if (pid_ < 0) return false;
  ::kill(pid_, SIGKILL);
  int status = 0;
  pid_t reaped;
  while ((reaped = ::waitpid(pid_, &status, 0)) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  return reaped > 0;
}

}  // namespace testing_support
