#include "bench/TimedChild.h"

#include <fcntl.h>
#include <unistd.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include <cerrno>

#include "installer/support/CommandLineWords.h"

extern char** environ;

namespace bench {

namespace {

double monotonicSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// True when one of the overrides sets the same variable as `entry` ("NAME=value").
bool isOverridden(const std::string& entry, const std::vector<std::string>& overrides) {
  std::string name = entry.substr(0, entry.find('=') + 1);
  for (const std::string& override : overrides) {
    if (override.compare(0, name.size(), name) == 0) return true;
  }
  return false;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// In the child between fork and exec (async-signal-safe calls only): resets the peak resident
// set to the current one, so that what the parent had resident before the exec does not count
// as the child's peak; then runs the program.
[[noreturn]] void execWithFreshPeak(const char* program, char* const* argv, char* const* envp) {
  int clearRefs = ::open("/proc/self/clear_refs", O_WRONLY | O_CLOEXEC);
  if (clearRefs >= 0) {
    if (::write(clearRefs, "5", 1) != 1) {
      // an older kernel: the peak then includes the parent's resident set
    }
    ::close(clearRefs);
  }
  ::execve(program, argv, envp);
  ::_exit(127);
}

}  // namespace

std::optional<ChildMeasure> runTimed(const std::vector<std::string>& argv,
                                     const std::vector<std::string>& environment) {
  std::vector<std::string> arguments = argv;
  std::vector<std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!isOverridden(*entry, environment)) variables.emplace_back(*entry);
  }
  variables.insert(variables.end(), environment.begin(), environment.end());
  std::vector<char*> argumentPointers = pointersTo(arguments);
  std::vector<char*> variablePointers = pointersTo(variables);

  auto program = support::programOfCommandWord(arguments.front());
  if (!program) return std::nullopt;

  double start = monotonicSeconds();
  pid_t child = ::fork();
  if (child < 0) return std::nullopt;
  if (child == 0) execWithFreshPeak(program->c_str(), argumentPointers.data(), variablePointers.data());
  int status = 0;
  rusage usage{};
  while (::wait4(child, &status, 0, &usage) < 0) {
    if (errno != EINTR) return std::nullopt;
  }
  double seconds = monotonicSeconds() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return ChildMeasure{seconds, usage.ru_maxrss};
}

}  // namespace bench
