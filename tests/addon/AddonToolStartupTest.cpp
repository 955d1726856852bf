// The start-up of the add-on tools: command line, configuration defaults and the package
// variable, the log file and the rcp home. This binary runs with a private /tmp.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/FileHelpers.h"
#include "common/AddonPackageBuilder.h"
#include "common/InstanceBuilder.h"
#include "common/PrivateNamespace.h"
#include "common/TempDir.h"
#include "installer/addon/AddonToolStartup.h"
#include "platform/SystemLog.h"
#include "platform/UniqueFd.h"

namespace {

using testing_support::readWholeFile;

namespace fs = std::filesystem;
using namespace addon;
using platform::PlistValue;
using testing_support::AddonPackageBuilder;

TEST(AddonToolStartupTest, PathComponentsAreJoinedWithOneSlash) {
  EXPECT_EQ(appendPathComponent("/a//", "//b"), "/a/b");
  EXPECT_EQ(appendPathComponent("//", "b"), "/b");
  EXPECT_EQ(appendPathComponent("/", "/"), "/");
  EXPECT_EQ(appendPathComponent("", "/b"), "b");
}

TEST(AddonToolStartupTest, MissingOrEmptyPositionsAreNotGiven) {
  const char* full[] = {"prog", "/pkg", "/dest", "3", "4", "/fw", "Bundle"};
  AddonCommandLine all = readAddonCommandLine(7, full);
  EXPECT_EQ(all.packagePath, "/pkg");
  EXPECT_EQ(all.destination, "/dest");
  EXPECT_EQ(all.frameworkLocation, "/fw");
  EXPECT_EQ(all.targetBundle, "Bundle");

  const char* shortLine[] = {"prog", "/pkg", ""};
  AddonCommandLine few = readAddonCommandLine(3, shortLine);
  EXPECT_EQ(few.packagePath, "/pkg");
  EXPECT_FALSE(few.destination);
  EXPECT_FALSE(few.frameworkLocation);
  EXPECT_FALSE(few.targetBundle);
  EXPECT_FALSE(readAddonCommandLine(0, nullptr).packagePath);
}

TEST(AddonToolStartupTest, DefaultsAreFilledInAndThePackageVariableResolved) {
  testing_support::TempDir dir;
  const std::string p = AddonPackageBuilder(dir.path()).set("ID", "a.b").set("version", "1.0")
                            .set("targetBundle", "Tallo").build().package.string();
  EXPECT_EQ(readAddonConfiguration(p),
            (AddonConfiguration{
                {"ID", "a.b"},
                {"version", "1.0"},
                {"targetBundle", "Tallo"},
                {"installManifest", p + "/../deploy/install.a.b.xml"},
                {"uninstallManifest", p + "/../deploy/uninstall.a.b.xml"},
                {"pluginCustomization", p + "/../deploy/plugin_customization.ini"},
                {"keystore", p + "/../deploy"},
                {"EMBEDDED", "NO"},
                {"extras", p + "/../deploy/extras"},
                {"updateSiteList", p + "/../../updates/platform"},
                {"frameworkLocation", "Contents/MacOS"},
                {"targetVersion", "*"},
            }));
}

TEST(AddonToolStartupTest, ConfiguredValuesWinUnlessEmpty) {
  testing_support::TempDir dir;
  const std::string p = AddonPackageBuilder(dir.path())
                            .set("installManifest", "${package}/m/inst.xml")
                            .set("uninstallManifest", "")
                            .set("EMBEDDED", "  ")
                            .set("updateSiteList", "${package}${package}")
                            .set("other", "${package}")
                            .set("count", 3)
                            .build()
                            .package.string() + "/";
  AddonConfiguration configuration = readAddonConfiguration(p);
  EXPECT_EQ(configuration["installManifest"], PlistValue(p + "/m/inst.xml"));
  EXPECT_EQ(configuration["uninstallManifest"], PlistValue(p + "/../deploy/uninstall.xml"));
  EXPECT_EQ(configuration["keystore"], PlistValue(p + "/m"));
  EXPECT_EQ(configuration["extras"], PlistValue(p + "/m/extras"));
  EXPECT_EQ(configuration["EMBEDDED"], PlistValue("  "));
  EXPECT_EQ(configuration["updateSiteList"], PlistValue(p + p));
  EXPECT_EQ(configuration["other"], PlistValue(p));
  EXPECT_FALSE(configuration.contains("count")) << "values that are not texts are left out";
  EXPECT_FALSE(configuration.contains("ID"));
}

TEST(AddonToolStartupTest, ConfigurationFileMissingOrNoDictionary) {
  testing_support::TempDir dir;
  EXPECT_TRUE(readAddonConfiguration(std::nullopt).empty());
  EXPECT_TRUE(readAddonConfiguration(dir / "nothing-here").empty());
  const std::string p =
      AddonPackageBuilder(dir.path()).rawConfiguration("<plist><string>x</string></plist>").build().package.string();
  AddonConfiguration configuration = readAddonConfiguration(p);
  EXPECT_EQ(configuration["installManifest"], PlistValue(p + "/../deploy/install.xml"));
  EXPECT_EQ(configuration["targetVersion"], PlistValue("*"));
}

TEST(AddonToolStartupTest, LogFileNameStaysInTmp) {
  const std::vector<std::pair<std::optional<std::string>, std::string>> cases = {
      {"a.b", "/tmp/rcp_a.b_install.log"},     {std::nullopt, "/tmp/rcp_addon_install.log"},
      {"x/y", "/tmp/rcp_addon_install.log"},   {"..", "/tmp/rcp_addon_install.log"},
      {".", "/tmp/rcp_addon_install.log"},     {"..x", "/tmp/rcp_..x_install.log"},
      {std::string("a\0b", 3), "/tmp/rcp_addon_install.log"},
  };
  for (const auto& [id, path] : cases) {
    SCOPED_TRACE(id.value_or("(none)"));
    AddonConfiguration configuration;
    if (id) configuration.emplace("ID", *id);
    EXPECT_EQ(installLogFilePath(configuration), path);
  }
}

TEST(AddonToolStartupTest, LogFileReceivesMessagesWhileAttached) {
  const std::string path = "/tmp/rcp_startup.test_install.log";
  std::ofstream(path) << "older run\n";
  {
    AddonLogFile logFile = setupLogFile({{"ID", "startup.first"}});
    logFile = setupLogFile({{"ID", "startup.test"}});  // moved over an attached one
    ASSERT_TRUE(logFile.attached());
    platform::SystemLog::log(platform::kLogInfo, "while attached %s", "%s%n");
  }
  // Files opened next take the freed descriptor number; none of them may receive the log.
  std::vector<platform::UniqueFd> next;
  for (int i = 0; i < 8; ++i) {
    const std::string name = "/tmp/rcp_startup.next" + std::to_string(i);
    next.emplace_back(::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  }
  AddonLogFile closedEarly = setupLogFile({{"ID", "startup.closed"}});
  closedEarly.close();
  EXPECT_FALSE(closedEarly.attached());
  platform::SystemLog::log(platform::kLogInfo, "after the end");
  EXPECT_THAT(testing_support::logTexts(readWholeFile(path)), ::testing::ElementsAre("while attached %s%n"));
  EXPECT_EQ(readWholeFile("/tmp/rcp_startup.closed_install.log"), "");
  EXPECT_EQ(readWholeFile("/tmp/rcp_startup.first_install.log"), "");
  for (int i = 0; i < 8; ++i) EXPECT_EQ(readWholeFile("/tmp/rcp_startup.next" + std::to_string(i)), "") << i;

  ::unlink(path.c_str());
  ASSERT_EQ(::symlink("/tmp/elsewhere", path.c_str()), 0);
  EXPECT_FALSE(setupLogFile({{"ID", "startup.test"}}).attached());
  EXPECT_FALSE(fs::exists("/tmp/elsewhere"));
}

TEST(AddonToolStartupTest, RcpHomeFromConfigurationOrPosition5) {
  AddonConfiguration configuration{{"targetBundle", "X"}, {"frameworkLocation", "Contents/MacOS"}};
  EXPECT_EQ(getPathToRcpHome("/Applications", configuration), "/Applications/X.app/Contents/MacOS/rcp");
  EXPECT_EQ(getPathToRcpHome("/Applications/", configuration), "/Applications/X.app/Contents/MacOS/rcp");
  EXPECT_FALSE(getPathToRcpHome(std::nullopt, configuration));
  EXPECT_FALSE(getPathToRcpHome("/Applications", {}));

  AddonCommandLine line;
  line.destination = "/Volumes/Other";
  EXPECT_EQ(locateRcpHome(line, configuration), "/Volumes/Other/X.app/Contents/MacOS/rcp");
  line.frameworkLocation = "/Applications/Y.app/Contents/MacOS";
  EXPECT_EQ(locateRcpHome(line, configuration), "/Applications/Y.app/Contents/MacOS/rcp");
  line.frameworkLocation = "/Applications/Y.app/Contents/MacOS/";
  EXPECT_EQ(locateRcpHome(line, configuration), "/Applications/Y.app/Contents/MacOS//rcp");
}

TEST(AddonToolStartupTest, InstanceExistsOnlyWithAnInstallManifest) {
  testing_support::TempDir dir;
  auto installed = testing_support::InstanceBuilder(dir.path() / "a").build();
  auto bare = testing_support::InstanceBuilder(dir.path() / "b").withoutInstallManifest().build();
  EXPECT_TRUE(instanceExistAtLocation(installed.rcpHome.string()));
  EXPECT_FALSE(instanceExistAtLocation(bare.rcpHome.string()));
  EXPECT_FALSE(instanceExistAtLocation(dir / "missing"));
  EXPECT_FALSE(instanceExistAtLocation(std::nullopt));
}

}  // namespace
