// Record files of an instance read through links: a symbolic or hard link to a file of root's
// that only root may read, planted (by root) under the name of a record or settings file in
// the rcp home, must never make a program that runs as root read that file and write its
// content back into the instance. Each program runs in a private mount namespace with the
// simulated launcher; the file must come out as it went in, its content nowhere in the bundle.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/EndToEndTest.h"
#include "common/InstanceBuilder.h"
#include "common/PrivateNamespace.h"
#include "common/RootVictim.h"
#include "common/TempDir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::addonManifest;
using testing_support::AddonRecord;
using testing_support::BuiltInstance;
using testing_support::InstanceBuilder;
using testing_support::NamespaceRun;
using testing_support::PrivateNamespace;
using testing_support::RootVictim;

class RecordLinkAttackTest : public testing_support::EndToEndTest {
 protected:
  void SetUp() override {
    ::setenv("USER", "root", 1);
    resetLauncherSwitches();
  }

  // Runs the three programs that read the instance's records, one after the other.
  std::vector<NamespaceRun> runAll(const BuiltInstance& target, const fs::path& package) {
    return freshNamespace()
        .privateFolder("/Library/Application Support")
        .privateFolder("/Applications")
        .run({{POSTFLIGHT_ADDON, package.string(), target.destination.string()},
              {PELORA_HOTFIX_UNINSTALL, "-rcphome", target.installLocation.string()},
              {PURGE_ADDON_RECORD, "-rcphome", target.installLocation.string(), "-addonID", "a.b"}});
  }
};

TEST_F(RecordLinkAttackTest, NoProgramReadsARecordThroughALink) {
  const std::vector<std::string> names = {"rcplauncher.properties", "plugin_customization.ini",
                                          "installInfo.plist", "addonInfo.plist"};
  for (const std::string& name : names) {
    for (const bool hard : {false, true}) {
      const std::string label = name + (hard ? "-hard" : "-symbolic");
      SCOPED_TRACE(label);
      const fs::path root = dir_.path() / label;
      offerAddonPlugin(root);
      RootVictim victim(root / "victim");
      InstanceBuilder builder(root / "Applications");
      builder.launcher(RCPLAUNCHER_SIM_PATH).hotfixVersion("3.0.1.1");
      builder.addonRecord(AddonRecord{"a.b", "1.0", "uninstall.a.b.xml"});
      const BuiltInstance target = builder.build();
      std::ofstream(target.rcpHome / "deploy/uninstall.pelorahotfix.xml") << addonManifest("uninstall");
      std::ofstream(target.rcpHome / "deploy/uninstall.hotfix.xml") << addonManifest("uninstall");
      const fs::path package = addonPackageWithManifests(root / "media")
                                   .deployFile("plugin_customization.ini", "added=1\n")
                                   .build()
                                   .package;
      const fs::path planted = target.rcpHome / name;
      fs::remove(planted);
      if (hard) fs::create_hard_link(victim.path(), planted);
      else fs::create_symlink(victim.path(), planted);

      const std::vector<NamespaceRun> runs = runAll(target, package);

      ASSERT_EQ(runs.size(), 3u);
      EXPECT_NE(runs[0].status, -1) << runs[0].standardError;
      EXPECT_TRUE(victim.intact());
      EXPECT_TRUE(victim.noCopyBelow(target.bundle));

      // A record refused is never rebuilt: a program that would rewrite it changes nothing at
      // all, says which file, and fails; the link stays as it was.
      const bool settings = name == "rcplauncher.properties";
      const bool installerRewrites = name != "installInfo.plist";
      const bool hotfixRewrites = settings || name == "installInfo.plist";
      const std::string refused = "Fail to read " + planted.string() + ". It is left unchanged.";
      EXPECT_EQ(runs[0].status, installerRewrites ? 190 : 0);
      const std::vector<std::string> installLog =
          testing_support::logTexts(runs[2].fileText("/tmp/rcp_a.b_install.log").value_or(""));
      EXPECT_EQ(std::count(installLog.begin(), installLog.end(), refused), installerRewrites ? 1 : 0);
      EXPECT_EQ(fs::exists(target.rcpHome / "eclipse/plugins" / testing_support::kAddonPlugin),
                !installerRewrites) << "staged and provisioned only when the records read";
      EXPECT_EQ(runs[1].status, hotfixRewrites ? 190 : 0);
      EXPECT_EQ(fs::exists(target.rcpHome / "deploy/uninstall.pelorahotfix.xml"), hotfixRewrites);
      EXPECT_EQ(runs[2].status, 0);
      EXPECT_EQ(runs[2].standardOutput,
                name == "addonInfo.plist" ? "Error:190: Fail to remove addon record : a.b . \n" : "");
      EXPECT_EQ(hard ? fs::hard_link_count(planted) == 2 : fs::is_symlink(planted), true);
    }
  }
}

}  // namespace
