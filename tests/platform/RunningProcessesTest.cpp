#include "platform/RunningProcesses.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>

#include "common/TempDir.h"

extern char** environ;

namespace {

using platform::runningExecutablePaths;

bool contains(const std::vector<std::string>& paths, const std::string& path) {
  return std::find(paths.begin(), paths.end(), path) != paths.end();
}

TEST(RunningProcessesTest, ListsTheExecutableOfEachProcess) {
  testing_support::TempDir dir;
  // A path longer than a first small buffer for the link's text.
  const std::string folder = dir / (std::string(200, 'd') + "/" + std::string(200, 'e'));
  std::filesystem::create_directories(folder);
  const std::string sleeper = folder + "/Norq Client.app-sleep";
  std::filesystem::copy_file("/bin/sleep", sleeper);
  std::filesystem::permissions(sleeper, std::filesystem::perms::owner_all);

  // posix_spawn returns once the program is executing, so it is listed from here on.
  std::string program = sleeper;
  std::string duration = "100000";
  char* argv[] = {program.data(), duration.data(), nullptr};
  pid_t pid = -1;
  ASSERT_EQ(0, ::posix_spawn(&pid, sleeper.c_str(), nullptr, nullptr, argv, environ));

  const auto whileRunning = runningExecutablePaths();
  ::kill(pid, SIGKILL);
  int status = 0;
  ASSERT_EQ(pid, ::waitpid(pid, &status, 0));

  EXPECT_TRUE(contains(whileRunning, std::filesystem::read_symlink("/proc/self/exe").string()));
  EXPECT_TRUE(contains(whileRunning, sleeper));
  EXPECT_FALSE(contains(runningExecutablePaths(), sleeper));
}

}  // namespace
