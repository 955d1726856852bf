// A child for the ChildProcess tests. Steered by its environment:
//   CHILD_HELPER_REPORT=<file>  write, NUL-separated: the working folder, where descriptors
//                               0, 1 and 2 lead, CHILD_HELPER_PROBE (or "<unset>"), then
//                               every argument after the program path;
//   CHILD_HELPER_SIGNAL_PARENT=1  once the parent sleeps in its wait, send it SIGUSR1;
//   CHILD_HELPER_KILL_SELF=1    end by SIGKILL;
//   CHILD_HELPER_EXIT=<n>       exit with <n> (default 0).
// It always writes a line to standard output and standard error.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string fdTarget(int fd) {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error).string();
}

void writeReport(const char* path, int argc, char** argv) {
  std::ofstream out(path, std::ios::binary);
  const char* probe = std::getenv("CHILD_HELPER_PROBE");
  out << std::filesystem::current_path().string() << '\0' << fdTarget(0) << '\0' << fdTarget(1) << '\0'
      << fdTarget(2) << '\0' << (probe != nullptr ? probe : "<unset>") << '\0';
  for (int i = 1; i < argc; ++i) out << argv[i] << '\0';
}

// Waits (a bounded number of looks) until the parent sleeps in waitpid, so the signal meets
// the wait itself; the outcome the test checks is the same either way.
void signalParentWhileItWaits() {
  std::string wchan = "/proc/" + std::to_string(getppid()) + "/wchan";
  for (int look = 0; look < 100000; ++look) {
    std::ifstream in(wchan);
    std::string where;
    std::getline(in, where);
    if (where == "do_wait") break;
    usleep(100);
  }
  kill(getppid(), SIGUSR1);
}

}  // namespace

int main(int argc, char** argv) {
  std::fputs("helper says hello on stdout\n", stdout);
  std::fputs("helper says hello on stderr\n", stderr);
  std::fflush(nullptr);
  if (const char* report = std::getenv("CHILD_HELPER_REPORT")) writeReport(report, argc, argv);
  if (std::getenv("CHILD_HELPER_SIGNAL_PARENT") != nullptr) signalParentWhileItWaits();
  if (std::getenv("CHILD_HELPER_KILL_SELF") != nullptr) raise(SIGKILL);
  const char* code = std::getenv("CHILD_HELPER_EXIT");
  return code != nullptr ? std::atoi(code) : 0;
}
