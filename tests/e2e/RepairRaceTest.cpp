// The workspace repair raced: while peloraHotfixUninstall runs again and again as root, a
// process of the test user swaps a folder on the workspace's path for a link to a folder of
// root's outside the home, as fast as it can. Whatever the timing, the repair must never
// change anything outside the home; so this holds in every run, not just on average.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/FileHelpers.h"
#include "common/InstanceBuilder.h"
#include "common/PrivateNamespace.h"
#include "common/RootVictim.h"
#include "common/TempDir.h"
#include "common/TestUser.h"

namespace {

namespace fs = std::filesystem;
using testing_support::RootVictim;
using testing_support::writeFile;

constexpr int kRuns = 200;

struct stat statusOf(const fs::path& path) {
  struct stat status {};
  ::lstat(path.c_str(), &status);
  return status;
}

// As the user: exchanges the names "ws" (a real folder) and "ws.alt" (a link to `outside`)
// in the home, over and over, until killed. Reports the first exchange through `ready`.
pid_t startSwapper(const testing_support::TestUser& user, int ready) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::setgroups(0, nullptr) != 0 || ::setgid(user.gid) != 0 || ::setuid(user.uid) != 0) ::_exit(1);
  const int home = ::open(user.home.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (home < 0 || ::renameat2(home, "ws", home, "ws.alt", RENAME_EXCHANGE) != 0) ::_exit(1);
  [[maybe_unused]] auto written = ::write(ready, "1", 1);
  while (true) ::renameat2(home, "ws", home, "ws.alt", RENAME_EXCHANGE);
}

TEST(RepairRaceTest, AFolderOfTheWorkspacePathSwappedForALinkNeverLeadsOutOfTheHome) {
  RCP_WITH_TEST_USER(user);
  if (::getgrnam("admin") == nullptr) GTEST_SKIP() << "needs the group admin";
  ASSERT_EQ(::mount("tmpfs", "/tmp", "tmpfs", 0, "mode=1777"), 0);  // this namespace's own
  ::setenv("USER", user.name.c_str(), 1);
  ::setenv("HOME", user.home.c_str(), 1);
  ::setenv("RCPSIM_FORCE_RC", "0", 1);

  testing_support::TempDir dir;
  const fs::path outside = dir.path() / "outside";
  writeFile(outside / "inner/.keep", "");
  ASSERT_EQ(::chmod(outside.c_str(), 0700), 0);
  ASSERT_EQ(::chmod((outside / "inner").c_str(), 0700), 0);
  RootVictim victim(outside / "inner/secret");
  const struct stat outsideBefore = statusOf(outside);
  const struct stat innerBefore = statusOf(outside / "inner");

  const fs::path home = user.home;
  writeFile(home / "ws/inner/own.txt", "mine");
  fs::create_directory_symlink(outside, home / "ws.alt");
  const testing_support::BuiltInstance target = testing_support::InstanceBuilder(dir.path() / "Applications")
                                                    .launcher(RCPLAUNCHER_SIM_PATH)
                                                    .hotfixVersion("1")
                                                    .build();
  writeFile(target.rcpHome / "rcplauncher.properties", "rcp.data=${env.HOME}/ws/inner\n");
  const std::string manifest = (target.rcpHome / "deploy/uninstall.pelorahotfix.xml").string();
  const std::vector<std::string> uninstall = {PELORA_HOTFIX_UNINSTALL, "-rcphome",
                                              target.installLocation.string()};

  int ready[2];
  ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
  const pid_t swapper = startSwapper(user, ready[1]);
  ::close(ready[1]);  // a swapper that fails ends the read below
  ASSERT_GT(swapper, 0);
  char mark = 0;
  ASSERT_EQ(::read(ready[0], &mark, 1), 1) << "the swapper did not start";
  int completed = 0;
  for (int run = 0; run < kRuns; ++run) {
    writeFile(manifest, "<manifest/>\n");  // each rollback takes its manifest away
    if (testing_support::runProgram(uninstall).status == 0) ++completed;
  }
  ::kill(swapper, SIGKILL);
  ::waitpid(swapper, nullptr, 0);
  ::close(ready[0]);

  EXPECT_EQ(completed, kRuns);
  EXPECT_TRUE(victim.intact());
  for (const auto& [path, before] : {std::pair{outside, outsideBefore}, {outside / "inner", innerBefore}}) {
    const struct stat now = statusOf(path);
    EXPECT_TRUE(now.st_uid == before.st_uid && now.st_gid == before.st_gid &&
                now.st_mode == before.st_mode)
        << path << " was changed";
  }

  // With the folder back in place, the workspace is repaired as it should be.
  if (fs::is_symlink(home / "ws")) {
    ASSERT_EQ(::renameat2(AT_FDCWD, (home / "ws").c_str(), AT_FDCWD, (home / "ws.alt").c_str(),
                          RENAME_EXCHANGE), 0);
  }
  ASSERT_EQ(::lchown((home / "ws/inner/own.txt").c_str(), 0, 0), 0);
  writeFile(manifest, "<manifest/>\n");
  EXPECT_EQ(testing_support::runProgram(uninstall).status, 0);
  EXPECT_TRUE(RootVictim::repairedFor(home / "ws/inner/own.txt", user.uid));
}

}  // namespace
