#pragma once
// Runs a test body with an extra user in the user database, without touching the machine's
// own /etc: the test re-runs itself in a child process inside a private mount namespace where
// copies of /etc/passwd and /etc/group that add the user are bind-mounted over the real ones.
//
// Two more users without a home come with it: "rcptestmaker" (uid and gid 4244, a member of
// rcptestgroup0 too), who makes packages, and "rcptestthird" (uid and gid 4245), anyone else
// on the machine.
//
// The user: name "rcptestuser", uid and gid 4242, a member of 40 more groups (gid 5000 to
// 5039), a comment field of 4 KiB, home
// "<scratch>/home/rcptestuser" (mode
// 0755, owned by the user, empty), where scratch is a fresh TempDir of the parent (mode 0755
// so the user can reach the home; removed by the parent when the child has ended).
//
// Use it as the first statement of a test:
//
//   TEST(LocaleTest, ReadsThePreferenceOfTheLoggedInUser) {
//     RCP_WITH_TEST_USER(user);
//     ::setenv("USER", user.name.c_str(), 1);
//     ... user.uid, user.gid, user.home, user.scratch ...
//   }
//
// In the parent, RCP_WITH_TEST_USER prepares the user, starts the same test binary with
// --gtest_filter=<this test> in the namespace, waits for it and fails when the child failed
// or did not run the body (the child's GoogleTest output appears in the test's output); then
// the parent returns from the test. In the child, it fills `user` and the rest of the body runs there, so the body may
// change the environment, the effective user id or the mount table freely: all of it ends
// with the child. Needs root (skipped otherwise) and works under the sanitizer build.
// The child sees the environment of the parent plus RCP_TEST_USER_HOME and
// RCP_TEST_USER_SCRATCH; do not set those yourself.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/TempDir.h"

extern char** environ;

namespace testing_support {

struct TestUser {
  static constexpr const char* kName = "rcptestuser";
  static constexpr uid_t kUid = 4242;
  static constexpr gid_t kGid = 4242;
  static constexpr int kExtraGroups = 40;  // more than a first small list of groups holds
  static constexpr gid_t kFirstExtraGid = 5000;
  static constexpr const char* kMakerName = "rcptestmaker";
  static constexpr uid_t kMakerUid = 4244;
  static constexpr const char* kThirdName = "rcptestthird";
  static constexpr uid_t kThirdUid = 4245;

  std::string name;
  uid_t uid;
  gid_t gid;
  std::string home;
  // A folder (mode 0755, owned by root) the test may use for its own files.
  std::string scratch;

  // In the child: the user (and a mark that the body ran). In the parent: runs the current
  // test in the namespace, checks its outcome and gives none.
  static std::optional<TestUser> enterOrRunInNamespace() {
    if (auto user = inside()) {
      std::ofstream(user->scratch + "/" + kRanMark).put('1');
      return user;
    }
    runCurrentTestInNamespace();
    return std::nullopt;
  }

  // Parent side: runs the current test again in the namespace and checks its exit status.
  static void runCurrentTestInNamespace() {
    if (::geteuid() != 0) GTEST_SKIP() << "adding a test user needs root";
    TempDir scratch;
    const std::string home = prepareHome(scratch);
    ASSERT_FALSE(home.empty());
    const std::string passwd = scratch / "passwd";
    const std::string group = scratch / "group";
    // A comment field of 4 KiB: every lookup of the user needs more than a first small buffer.
    ASSERT_TRUE(copyWithLine("/etc/passwd", passwd,
                             std::string(kName) + ":x:4242:4242:rcp test user " + std::string(4096, 'x') +
                                 ":" + home + ":/bin/sh\n" + kMakerName +
                                 ":x:4244:4244::/nonexistent:/bin/sh\n" + kThirdName +
                                 ":x:4245:4245::/nonexistent:/bin/sh"));
    // Its own group, and 40 more groups that list it as a member ("rcptestgroup<N>", gid 5000+N).
    std::string groups = std::string(kName) + ":x:4242:\n" + kMakerName + ":x:4244:\n" + kThirdName + ":x:4245:";
    for (int n = 0; n < kExtraGroups; ++n) {
      groups += "\nrcptestgroup" + std::to_string(n) + ":x:" + std::to_string(kFirstExtraGid + n) + ":" + kName +
                (n == 0 ? std::string(",") + kMakerName : "");
    }
    ASSERT_TRUE(copyWithLine("/etc/group", group, groups));

    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::vector<std::string> arguments = {
        "/proc/self/exe",
        std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name()};
    std::vector<std::string> environment = environmentWith(home, scratch.str());
    const int status = runInNamespace(arguments, environment, passwd, group);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the test body failed in the private mount namespace (wait status " << status
        << "; its output is above)";
    EXPECT_EQ(0, ::access((scratch / kRanMark).c_str(), F_OK))
        << "the test body did not run in the private mount namespace";
  }

 private:
  static constexpr const char* kRanMark = ".test-body-ran";

  static std::optional<TestUser> inside() {
    const char* home = std::getenv("RCP_TEST_USER_HOME");
    const char* scratch = std::getenv("RCP_TEST_USER_SCRATCH");
    if (home == nullptr || scratch == nullptr) return std::nullopt;
    return TestUser{kName, kUid, kGid, home, scratch};
  }

  // Variables that would make the child run another selection of tests, or none.
  static bool inheritable(const std::string& variable) {
    for (const char* prefix : {"RCP_TEST_USER_", "GTEST_FILTER=", "GTEST_SHARD_INDEX=",
                               "GTEST_TOTAL_SHARDS=", "GTEST_OUTPUT="}) {
      if (variable.rfind(prefix, 0) == 0) return false;
    }
    return true;
  }

  static std::string prepareHome(const TempDir& scratch) {
    const std::string homes = scratch / "home";
    const std::string home = homes + "/" + kName;
    if (home.find_first_of(":\n") != std::string::npos) return {};
    if (::chmod(scratch.str().c_str(), 0755) != 0 || ::mkdir(homes.c_str(), 0755) != 0 ||
        ::mkdir(home.c_str(), 0755) != 0 || ::chown(home.c_str(), kUid, kGid) != 0) {
      return {};
    }
    return home;
  }

  static bool copyWithLine(const std::string& from, const std::string& to,
                           const std::string& line) {
    std::ifstream in(from);
    std::stringstream contents;
    contents << in.rdbuf();
    std::string text = contents.str();
    if (!text.empty() && text.back() != '\n') text += '\n';
    std::ofstream out(to);
    out << text << line << '\n';
    out.close();
    return out.good() && ::chmod(to.c_str(), 0644) == 0;
  }

  static std::vector<std::string> environmentWith(const std::string& home,
                                                  const std::string& scratch) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string variable = *entry;
      if (inheritable(variable)) environment.push_back(variable);
    }
    environment.push_back("RCP_TEST_USER_HOME=" + home);
    environment.push_back("RCP_TEST_USER_SCRATCH=" + scratch);
    return environment;
  }

  static std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& text : texts) result.push_back(text.data());
    result.push_back(nullptr);
    return result;
  }

  // Forks; the child leaves the machine's mount namespace, keeps its mounts from propagating
  // back, binds the copies over /etc/passwd and /etc/group and executes the test binary.
  // Everything the child needs is prepared before the fork.
  static int runInNamespace(std::vector<std::string> arguments,
                            std::vector<std::string> environment, const std::string& passwd,
                            const std::string& group) {
    std::vector<char*> argv = pointers(arguments);
    std::vector<char*> envp = pointers(environment);
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
      if (::unshare(CLONE_NEWNS) != 0 ||
          ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
          ::mount(passwd.c_str(), "/etc/passwd", nullptr, MS_BIND, nullptr) != 0 ||
          ::mount(group.c_str(), "/etc/group", nullptr, MS_BIND, nullptr) != 0) {
        static const char kMessage[] = "cannot set up the private mount namespace\n";
        [[maybe_unused]] auto ignored = ::write(2, kMessage, sizeof kMessage - 1);
        ::_exit(126);
      }
      ::execve(argv[0], argv.data(), envp.data());
      ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
      if (errno != EINTR) return -1;
    }
    return status;
  }
};

// Runs `step` once as another user (their uid and gid, no other group) in a child process, as
// that user would act on their own; true when it gave true.
inline bool onceAsUser(uid_t uid, const std::function<bool()>& step) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(uid, uid, uid) != 0 || ::setresuid(uid, uid, uid) != 0) ::_exit(2);
    ::_exit(step() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace testing_support

// See the comment at the top of this file.
#define RCP_WITH_TEST_USER(user)                                                      \
  const auto user##OrNone = ::testing_support::TestUser::enterOrRunInNamespace();    \
  if (!user##OrNone) return;                                                          \
  const ::testing_support::TestUser& user = *user##OrNone
