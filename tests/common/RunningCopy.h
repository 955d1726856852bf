#pragma once
// A running process whose executable is a copy of a program placed at a chosen path (for
// instance /bin/sleep as an application bundle's executable). start() returns only once the
// process runs the copy (/proc/<pid>/exe names it); the destructor kills and reaps it.
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

class RunningCopy {
 public:
  // Copies program to executable (mode 0755, folders made) and starts it with arguments.
  // None when it could not be copied or started, or /proc/<pid>/exe does not name the copy.
  static std::optional<RunningCopy> start(const std::filesystem::path& program,
                                          const std::filesystem::path& executable,
                                          const std::vector<std::string>& arguments);
  RunningCopy(RunningCopy&& other) noexcept;
  RunningCopy& operator=(RunningCopy&&) = delete;
  RunningCopy(const RunningCopy&) = delete;
  RunningCopy& operator=(const RunningCopy&) = delete;
  ~RunningCopy();

  pid_t pid() const { return pid_; }
  // /proc/<pid>/exe as the kernel reports it.
  std::string executablePath() const;
  // Kills and reaps the process; true when it was reaped.
  bool stop();

 private:
  explicit RunningCopy(pid_t pid) : pid_(pid) {}
  pid_t pid_ = -1;
};

}  // namespace testing_support
