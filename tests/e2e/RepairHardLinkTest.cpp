// The ownership repair that follows a provisioning run, attacked with hard links: a file of
// root's that only root may read is linked into every place the repair walks (below the rcp
// home, in the shared folder beside it, in the user's workspace) and under the names of files
// the installer writes there. The links are made by root, as the kernel's link protection stops
// the user here (it does not on every system). The programs run as root for the test user, with
// the simulated launcher, in a private mount namespace; the file must come out as it went in.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/AddonPackageBuilder.h"
#include "common/EndToEndTest.h"
#include "common/InstanceBuilder.h"
#include "common/PrivateNamespace.h"
#include "common/RootVictim.h"
#include "common/TempDir.h"
#include "common/TestUser.h"

namespace {

namespace fs = std::filesystem;
using testing_support::addonManifest;
using testing_support::BuiltInstance;
using testing_support::InstanceBuilder;
using testing_support::NamespaceRun;
using testing_support::PrivateNamespace;
using testing_support::RootVictim;
using testing_support::writeFile;

constexpr const char* kPlugin = testing_support::kAddonPlugin;
constexpr const char* kLog = "/tmp/rcp_a.b_install.log";
constexpr const char* kLeftAlone = "Not changing the owner or mode of ";

// Runs as root for the test user: USER names the owner the repair gives, HOME the workspace's.
class RepairHardLinkTest : public testing_support::EndToEndTest {
 protected:
  void prepare(const testing_support::TestUser& user) {
    if (::getgrnam("admin") == nullptr) GTEST_SKIP() << "needs the group admin";
    ::setenv("USER", user.name.c_str(), 1);
    ::setenv("HOME", user.home.c_str(), 1);
    resetLauncherSwitches();
    workspace_ = fs::path(user.home) / "workspace";
    writeFile(workspace_ / ".metadata/version.ini", "1\n");
  }

  BuiltInstance instance(std::optional<std::string> hotfix = std::nullopt) const {
    InstanceBuilder builder(dir_.path() / "Applications");
    builder.launcher(RCPLAUNCHER_SIM_PATH);
    if (hotfix) builder.hotfixVersion(*hotfix);
    BuiltInstance built = builder.build();
    writeFile(built.rcpHome / "rcplauncher.properties", "rcp.data=${env.HOME}/workspace\n");
    writeFile(built.installLocation / "shared/own.ini", "x=1\n");
    return built;
  }

  // Links the victim in as each name; gives the names.
  std::vector<fs::path> plant(const std::vector<fs::path>& names) const {
    for (const fs::path& name : names) {
      fs::create_directories(name.parent_path());
      fs::create_hard_link(victim_.path(), name);
    }
    return names;
  }

  NamespaceRun run(const std::vector<std::string>& words) {
    return freshNamespace().run({words})[0];
  }

  RootVictim victim_{dir_.path() / "victim"};
  // Two names only: the usual attack, one hard link, is as much a hard link as five.
  RootVictim pair_{dir_.path() / "pair"};
  fs::path workspace_;
};

TEST_F(RepairHardLinkTest, AddonInstallationLeavesHardLinkedFilesAlone) {
  RCP_WITH_TEST_USER(user);
  prepare(user);
  offerAddonPlugin(dir_.path());
  const fs::path package = addonPackageWithManifests(dir_.path() / "media")
                               .deployFile("plugin_customization.ini", "added=1\n")
                               .build()
                               .package;
  const BuiltInstance target = instance();
  const fs::path rcp = target.rcpHome;
  const std::vector<fs::path> links =
      plant({rcp / "eclipse/plugins/linked.jar", target.installLocation / "shared/linked.ini",
             workspace_ / ".metadata/linked.prefs", rcp / "deploy/install.old.xml",
             rcp / "osgiagent.properties"});

  NamespaceRun result = run({POSTFLIGHT_ADDON, package.string(), (dir_.path() / "Applications").string()});

  ASSERT_EQ(result.status, 0) << result.standardError;
  EXPECT_TRUE(victim_.intact());
  EXPECT_TRUE(victim_.noCopyBelow(target.bundle));
  EXPECT_TRUE(victim_.noCopyBelow(user.home));
  // The repair did run, on everything else.
  for (const fs::path& repaired : {rcp / "deploy/install.xml", rcp / "eclipse/plugins" / kPlugin,
                                   target.installLocation / "shared/own.ini",
                                   workspace_ / ".metadata/version.ini"}) {
    EXPECT_TRUE(RootVictim::repairedFor(repaired, user.uid));
  }
  // One warning for each link the repair met (the installer may have replaced some of them).
  const std::string log = result.fileText(kLog).value_or("");
  for (const fs::path& link : links) {
    SCOPED_TRACE(link.string());
    const bool stillLinked = victim_.isLinkedAs(link);
    EXPECT_EQ(log.find(kLeftAlone + link.string() + ": it has ") != std::string::npos, stillLinked)
        << log;
  }
}

TEST_F(RepairHardLinkTest, HotfixUninstallLeavesAHardLinkInTheWorkspaceAlone) {
  RCP_WITH_TEST_USER(user);
  prepare(user);
  ::setenv("RCPSIM_FORCE_RC", "0", 1);
  const BuiltInstance target = instance("1");
  writeFile(target.rcpHome / "deploy/uninstall.pelorahotfix.xml", addonManifest("uninstall"));
  const std::vector<fs::path> links =
      plant({workspace_ / "linked.txt", workspace_ / ".metadata/deeper/linked.prefs"});
  fs::create_hard_link(pair_.path(), workspace_ / ".metadata/paired.prefs");

  NamespaceRun result =
      run({PELORA_HOTFIX_UNINSTALL, "-rcphome", target.installLocation.string()});

  ASSERT_EQ(result.status, 0) << result.standardOutput;
  EXPECT_TRUE(victim_.intact());
  EXPECT_TRUE(victim_.noCopyBelow(user.home, &pair_));
  EXPECT_TRUE(victim_.isLinkedAs(links[0]) && victim_.isLinkedAs(links[1]));
  EXPECT_TRUE(pair_.intact());
  EXPECT_TRUE(RootVictim::repairedFor(workspace_ / ".metadata/version.ini", user.uid));
  EXPECT_TRUE(RootVictim::repairedFor(workspace_ / ".metadata/deeper", user.uid));
}

}  // namespace
