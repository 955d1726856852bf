#include "platform/HomeFolder.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include "common/ScopedEnvironment.h"

namespace {

using platform::expandTildeInPath;
using platform::homeFolder;
using testing_support::ScopedEnvironment;

std::string databaseHome() {
  const passwd* entry = ::getpwuid(::geteuid());
  return entry != nullptr ? entry->pw_dir : "/";
}

TEST(HomeFolderTest, PrefersHomeThenTheUserDatabase) {
  {
    ScopedEnvironment home("HOME", "/Users/tester");
    EXPECT_EQ("/Users/tester", homeFolder());
  }
  for (const std::optional<std::string>& unusable : {std::optional<std::string>(""),
                                                     std::optional<std::string>()}) {
    ScopedEnvironment home("HOME", unusable);
    EXPECT_EQ(databaseHome(), homeFolder());
  }
  EXPECT_EQ(databaseHome(), platform::homeFolderOfUser(::geteuid()));
  EXPECT_EQ(std::nullopt, platform::homeFolderOfUser(3999999));
}

TEST(HomeFolderTest, ExpandsOnlyALeadingTilde) {
  const struct {
    const char* home;
    const char* path;
    const char* expected;
  } cases[] = {
      {"/Users/tester", "~", "/Users/tester"},
      {"/Users/tester", "~/Library/x.plist", "/Users/tester/Library/x.plist"},
      {"/Users/tester/", "~/a", "/Users/tester/a"},
      {"/", "~/a", "/a"},
      {"/", "~", "/"},
      {"/Users/tester", "~other/a", "~other/a"},
      {"/Users/tester", "~x", "~x"},
      {"/Users/tester", "", ""},
      {"/Users/tester", "a", "a"},
      {"/Users/tester", "/a/~/b", "/a/~/b"},
      {"/Users/tester", "a~", "a~"},
      {"/Users/tester", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.home) + " " + c.path);
    ScopedEnvironment home("HOME", c.home);
    EXPECT_EQ(c.expected, expandTildeInPath(c.path));
  }
}

}  // namespace
