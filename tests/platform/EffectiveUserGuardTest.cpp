#include "platform/EffectiveUserGuard.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "common/ScopedEnvironment.h"
#include "common/TestUser.h"
#include "common/WithoutSyscalls.h"
#include "platform/ActingAs.h"
#include "platform/UserPreferences.h"

namespace {

using platform::EffectiveUserGuard;
using platform::kGlobalPreferencesDomain;
using platform::PlistValue;
using platform::UserPreferences;
using testing_support::ScopedEnvironment;

using OptionalText = std::optional<std::string>;

// Runs as root with an extra user "rcptestuser". Preference files that only root, or only
// group root, can reach show that the guard really dropped root's rights, its groups too, and a
// preference the guard writes belongs to the user.
TEST(EffectiveUserGuardTest, ReadsAndWritesAsTheLoggedInUser) {
  RCP_WITH_TEST_USER(user);
  const UserPreferences rootOnly(user.scratch + "/root-home");
  ASSERT_TRUE(rootOnly.setValueForKey(kGlobalPreferencesDomain, "AppleLocale", PlistValue("sv_SE")));
  const std::string groupRootHome = user.scratch + "/group-root-home";
  const UserPreferences groupRootOnly(groupRootHome);
  ASSERT_TRUE(groupRootOnly.setValueForKey(kGlobalPreferencesDomain, "AppleLocale", PlistValue("de_DE")));
  ASSERT_EQ(0, std::system(("chown -R 0:0 '" + groupRootHome + "' && chmod -R u=rwX,g=rX,o= '" +
                            groupRootHome + "'").c_str()));

  const struct {
    OptionalText userVariable;
    OptionalText logname;
  } cases[] = {
      {"rcptestuser", std::nullopt},
      {"rcptestuser", "root"},
      {std::nullopt, "rcptestuser"},
      {"", "rcptestuser"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.userVariable.value_or("(unset)") + " / " + c.logname.value_or("(unset)"));
    ScopedEnvironment userVariable("USER", c.userVariable);
    ScopedEnvironment logname("LOGNAME", c.logname);
    {
      EffectiveUserGuard guard;
      ASSERT_TRUE(guard.user());
      EXPECT_EQ(user.name, guard.user()->name);
      EXPECT_EQ(user.uid, guard.user()->uid);
      EXPECT_EQ(user.gid, guard.user()->gid);
      EXPECT_EQ(user.home, guard.user()->home);
      EXPECT_TRUE(guard.switched());
      EXPECT_EQ(user.uid, ::geteuid());

      EXPECT_EQ(user.gid, ::getegid());
      EXPECT_EQ(std::nullopt, rootOnly.valueForKey(kGlobalPreferencesDomain, "AppleLocale"));
      EXPECT_EQ(std::nullopt, groupRootOnly.valueForKey(kGlobalPreferencesDomain, "AppleLocale"));
      const UserPreferences own(guard.user()->home);
      ASSERT_TRUE(own.setValueForKey(kGlobalPreferencesDomain, "AppleLocale", PlistValue("fr_CA")));
      EXPECT_EQ(PlistValue("fr_CA"), own.valueForKey(kGlobalPreferencesDomain, "AppleLocale"));
      struct stat info {};
      ASSERT_EQ(0, ::stat(own.pathOfDomain(kGlobalPreferencesDomain).c_str(), &info));
      EXPECT_EQ(user.uid, info.st_uid);
    }
    EXPECT_EQ(0u, ::geteuid());
    EXPECT_EQ(0u, ::getegid());
    EXPECT_EQ(PlistValue("de_DE"), groupRootOnly.valueForKey(kGlobalPreferencesDomain, "AppleLocale"));
    EXPECT_EQ(PlistValue("sv_SE"), rootOnly.valueForKey(kGlobalPreferencesDomain, "AppleLocale"));
  }
}

// Going on with a user's uid, gid or groups where root's are assumed would be worse than
// stopping: a switch back to root that fails ends the program with 70.
TEST(EffectiveUserGuardTest, AFailedSwitchBackToRootEndsTheProgram) {
  RCP_WITH_TEST_USER(user);
  const platform::Credentials credentials = platform::credentialsOfUser(user.uid);
  const struct {
    const char* name;
    long refused;  // the call that fails on the way back; -1 for none
  } cases[] = {{"setresuid", SYS_setresuid}, {"setresgid", SYS_setresgid}, {"setgroups", SYS_setgroups}, {"none", -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const pid_t child = ::fork();
    if (child == 0) {
      {
        platform::ActingAs acting(credentials);
        if (!acting.ok() || (c.refused >= 0 && !testing_support::denySyscalls({static_cast<int>(c.refused)}))) ::_exit(2);
      }
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.refused >= 0 ? 70 : 0);
  }
}

TEST(EffectiveUserGuardTest, SwitchesNothingWithoutAnotherUser) {
  RCP_WITH_TEST_USER(user);
  const struct {
    OptionalText userVariable;
    OptionalText expectedName;
  } cases[] = {
      {"no-such-user", std::nullopt},
      {"root", "root"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(*c.userVariable);
    ScopedEnvironment userVariable("USER", c.userVariable);
    ScopedEnvironment logname("LOGNAME", user.name);  // USER wins over the login name
    EffectiveUserGuard guard;
    EXPECT_EQ(c.expectedName, guard.user() ? std::optional(guard.user()->name) : std::nullopt);
    EXPECT_FALSE(guard.switched());
    EXPECT_EQ(0u, ::geteuid());
  }
}

// Without USER and LOGNAME the session's login user counts (the audit login uid, which root may
// set once for a process that has none), and without a session the real user.
TEST(EffectiveUserGuardTest, WithoutUserOrLognameTheSessionsUserCounts) {
  RCP_WITH_TEST_USER(user);
  ScopedEnvironment userVariable("USER", std::nullopt);
  ScopedEnvironment logname("LOGNAME", std::nullopt);
  std::string loginUid;
  std::ifstream("/proc/self/loginuid") >> loginUid;
  if (loginUid == "4294967295") {
    EXPECT_EQ(platform::loggedInUser().value_or(platform::LoggedInUser{}).name, "root");
  }
  std::ofstream session("/proc/self/loginuid");
  session << user.uid << std::flush;
  if (!session) GTEST_SKIP() << "this process may not set its login uid";
  EXPECT_EQ(platform::loggedInUser().value_or(platform::LoggedInUser{}).name, user.name);
}

}  // namespace
