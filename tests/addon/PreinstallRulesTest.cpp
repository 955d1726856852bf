#include <gtest/gtest.h>

#include "common/InstanceBuilder.h"
#include "common/TempDir.h"
#include "installer/addon/PreinstallRules.h"
#include "installer/support/InstanceService.h"

namespace {

using addon::higherAddonVersionInstalled;
using addon::targetVersionMatches;

TEST(PreinstallRulesTest, TargetVersionEntries) {
  struct Case {
    std::string targetVersion;
    std::optional<std::string> installed;
    bool matches;
  };
  const std::vector<Case> cases = {
      {"2.0;3.0*", "2.0", true}, {"2.0;3.0*", "3.0", true}, {"3*", std::nullopt, false},
      {"*1", "11", false},       {" 2.0", "2.0", false},    {"2.0", "2.0 ", false},
      {"1.0;;*", std::nullopt, true}, {"2.0;", "", true},   {"a*b*", "a", true},
      {"a*b*", "b", false},      {"3.0.1", "3.0.10", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("'" + c.targetVersion + "' against " + c.installed.value_or("(unknown)"));
    EXPECT_EQ(targetVersionMatches(c.targetVersion, c.installed), c.matches);
  }
}

TEST(PreinstallRulesTest, HigherAddonVersionNeedsAnInstalledInstance) {
  testing_support::TempDir dir;
  auto bare = testing_support::InstanceBuilder(dir.path() / "a")
                  .withoutInstallManifest()
                  .addonRecord({"a.b", "9.0", std::nullopt})
                  .build();
  support::InstanceService instance(bare.rcpHome.string());
  EXPECT_FALSE(higherAddonVersionInstalled(instance, "a.b", "1.0"));
  EXPECT_FALSE(higherAddonVersionInstalled(support::InstanceService(std::nullopt), "a.b", std::nullopt));
}

}  // namespace
