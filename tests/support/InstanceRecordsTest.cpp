// The records of an instance on disk: installInfo.plist, addonInfo.plist, the base plug-in and
// the bundle version, on instances made by the fixture builder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/FileHelpers.h"
#include "common/InstanceBuilder.h"
#include "common/PrivateNamespace.h"
#include "common/TempDir.h"
#include "installer/support/InstanceService.h"
#include "platform/PropertyListFile.h"
#include "platform/SystemLog.h"

namespace {

using testing_support::readWholeFile;

namespace fs = std::filesystem;
using platform::PlistDictionary;
using platform::PlistValue;
using support::InstanceService;
using testing_support::AddonRecord;
using testing_support::InstanceBuilder;

std::optional<PlistValue> readPlist(const fs::path& path) {
  return platform::PropertyListFile::read(path.string());
}

// Copies every system-log message to a file while it lives.
class CapturedLog {
 public:
  explicit CapturedLog(const fs::path& path)
      : path_(path), fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) {
    platform::SystemLog::attachFile(fd_);
  }
  ~CapturedLog() {
    platform::SystemLog::detachFile(fd_);
    ::close(fd_);
  }
  std::vector<std::string> texts() const { return testing_support::logTexts(readWholeFile(path_)); }

 private:
  fs::path path_;
  int fd_;
};

class InstanceRecordsTest : public ::testing::Test {
 protected:
  InstanceService service(InstanceBuilder builder) const {
    return InstanceService(builder.build().rcpHome.string());
  }
  InstanceBuilder instance() const { return InstanceBuilder(dir_.path() / "Applications"); }
  fs::path rcpHome() const { return dir_.path() / "Applications/Tallo.app/Contents/MacOS/rcp"; }

  testing_support::TempDir dir_;
};

TEST_F(InstanceRecordsTest, UnboundServiceAnswersNothingAndWritesNothing) {
  InstanceService unbound(dir_ / "missing/rcp");
  InstanceService none(std::nullopt);
  for (const InstanceService* service : {&unbound, &none}) {
    EXPECT_FALSE(service->pathToRcphome());
    EXPECT_FALSE(service->hasInstanceInstalled());
    EXPECT_FALSE(service->getInstalledVersion());
    EXPECT_FALSE(service->isHotfixApplied());
    EXPECT_FALSE(service->getBaseVersion());
    EXPECT_FALSE(service->getInstalledTargetVersion());
    EXPECT_FALSE(service->getRegistryInfoForAddon("a.b"));
    // Nothing to write or remove is no failure.
    EXPECT_TRUE(service->setInstalledVersion("3.0.1"));
    EXPECT_TRUE(service->updateHotfixVersion(std::nullopt));
    EXPECT_TRUE(service->removeRegistryInfoforAddon("a.b"));
  }
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
  EXPECT_TRUE(InstanceService(dir_.str()).pathToRcphome()) << "any existing path binds";
}

TEST_F(InstanceRecordsTest, InstalledVersionIsCreatedAndUpdatedInPlace) {
  InstanceService rcp = service(instance().installedVersion(std::nullopt));
  const fs::path info = rcpHome() / "installInfo.plist";
  {
    CapturedLog log(dir_ / "log");
    EXPECT_FALSE(rcp.getInstalledVersion());
    EXPECT_THAT(log.texts(), ::testing::ElementsAre("Get installInfo: " + info.string()));
  }
  rcp.setInstalledVersion("3.0.1");
  EXPECT_EQ(readPlist(info), PlistValue(PlistDictionary{{"version", "3.0.1"}}));

  rcp.updateHotfixVersion("3.0.1.1");
  rcp.setInstalledVersion("3.0.2");
  EXPECT_EQ(rcp.getInstalledVersion(), "3.0.2");
  EXPECT_TRUE(rcp.isHotfixApplied());
  EXPECT_EQ(rcp.getCurrentHotfixVersion(), "3.0.1.1");

  rcp.updateHotfixVersion(std::nullopt);
  EXPECT_FALSE(rcp.isHotfixApplied());
  EXPECT_FALSE(rcp.getCurrentHotfixVersion());
  EXPECT_EQ(readPlist(info), PlistValue(PlistDictionary{{"version", "3.0.2"}}));
}

TEST_F(InstanceRecordsTest, ClearingTheHotfixWithoutAFileCreatesAnEmptyRecord) {
  InstanceService rcp = service(instance().installedVersion(std::nullopt));
  rcp.updateHotfixVersion(std::nullopt);
  EXPECT_EQ(readPlist(rcpHome() / "installInfo.plist"), PlistValue(PlistDictionary{}));
}

TEST_F(InstanceRecordsTest, UnreadableInstallInfoIsLeftAsItIs) {
  InstanceService rcp = service(instance());
  const fs::path info = rcpHome() / "installInfo.plist";
  std::ofstream(info) << "garbage";
  EXPECT_FALSE(rcp.setInstalledVersion("9")) << "reported to the caller";
  EXPECT_FALSE(rcp.updateHotfixVersion("9.1"));
  EXPECT_EQ(readWholeFile(info), "garbage");
  EXPECT_FALSE(rcp.getInstalledVersion());
  EXPECT_FALSE(rcp.isHotfixApplied());
}

TEST_F(InstanceRecordsTest, BaseVersionIsTheGreatestInPlainTextOrder) {
  struct Case {
    std::vector<std::string> plugins;
    std::optional<std::string> expected;
  };
  const std::vector<Case> cases = {
      {{"6.2.9.20121012", "6.2.10.20121105"}, "6.2.9.20121012"},
      {{"6.2.10.20121105", "6.2.9.20121012"}, "6.2.9.20121012"},
      {{"6.2.3_v1"}, "6.2.3"},
      {{}, std::nullopt},
      {{"", "1.0"}, "1.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.plugins));
    fs::remove_all(dir_.path() / "Applications");
    InstanceService rcp = service(instance().basePlugins(c.plugins));
    fs::create_directories(rcpHome() / "eclipse/plugins/com.norq.rcp.base.nl_9.9");
    EXPECT_EQ(rcp.getBaseVersion(), c.expected);
  }
  // A plain file counts like a folder; no plug-ins folder gives nothing.
  std::ofstream(rcpHome() / "eclipse/plugins/com.norq.rcp.base_7.0.jar") << "";
  EXPECT_EQ(InstanceService(rcpHome().string()).getBaseVersion(), "7.0.jar");
  fs::remove_all(rcpHome() / "eclipse");
  EXPECT_FALSE(InstanceService(rcpHome().string()).getBaseVersion());
}

TEST_F(InstanceRecordsTest, TargetVersionComesFromTheContainingBundle) {
  InstanceService rcp = service(instance().targetVersion("3.1"));
  EXPECT_EQ(rcp.getInstalledTargetVersion(), "3.1");

  const fs::path nested = rcpHome() / "Inner.app/Contents/MacOS/rcp";
  fs::create_directories(nested);
  EXPECT_FALSE(InstanceService(nested.string()).getInstalledTargetVersion());
  ASSERT_FALSE(platform::PropertyListFile::write(
      (rcpHome() / "Inner.app/Contents/Info.plist").string(),
      PlistDictionary{{"CFBundleShortVersionString", "inner"}}));
  EXPECT_EQ(InstanceService(nested.string()).getInstalledTargetVersion(), "inner");

  const fs::path outside = dir_.path() / "Tallo.app/Contents/Resources/rcp";
  fs::create_directories(outside);
  EXPECT_FALSE(InstanceService(outside.string()).getInstalledTargetVersion());
}

TEST_F(InstanceRecordsTest, RegistryLookupTakesTheFirstRecordOfAnExactID) {
  InstanceService rcp = service(instance()
                                    .addonRecord({"addon.one", "1.0", "uninstall.addon.one.xml"})
                                    .addonRecord({"addon.one", "2.0", std::nullopt})
                                    .addonRecord({"no.version", std::nullopt, "u.xml"}));
  EXPECT_EQ(rcp.getAddonInstalledVersion("addon.one"), "1.0");
  EXPECT_FALSE(rcp.getAddonInstalledVersion("ADDON.ONE"));
  EXPECT_FALSE(rcp.getAddonInstalledVersion("addon"));
  EXPECT_FALSE(rcp.getAddonInstalledVersion("no.version"));
  EXPECT_EQ(rcp.getRegistryInfoForAddon("no.version"),
            (PlistDictionary{{"ID", "no.version"}, {"uninstallManifest", "u.xml"}}));

  rcp.removeRegistryInfoforAddon("addon.one");
  EXPECT_EQ(rcp.getAddonInstalledVersion("addon.one"), "2.0");
}

TEST_F(InstanceRecordsTest, RemovalRewritesOnlyWhenARecordMatches) {
  InstanceService rcp = service(instance());
  const fs::path registry = rcpHome() / "addonInfo.plist";
  fs::remove(registry);
  EXPECT_TRUE(rcp.removeRegistryInfoforAddon("a.b")) << "no registry, nothing to remove";
  EXPECT_FALSE(fs::exists(registry));
  const PlistValue malformed = PlistDictionary{
      {"addons", platform::PlistArray{PlistValue("not a record"), PlistDictionary{{"version", "1"}},
                                      PlistDictionary{{"ID", "a.b"}, {"version", "1"}}}},
      {"other", "top-level key"}};
  ASSERT_FALSE(platform::PropertyListFile::write(registry.string(), malformed));
  const std::string before = readWholeFile(registry);

  EXPECT_TRUE(rcp.removeRegistryInfoforAddon("not.registered"));
  EXPECT_EQ(readWholeFile(registry), before);
  EXPECT_EQ(rcp.getAddonInstalledVersion("a.b"), "1");

  EXPECT_TRUE(rcp.removeRegistryInfoforAddon("a.b"));
  EXPECT_EQ(readPlist(registry),
            PlistValue(PlistDictionary{
                {"addons", platform::PlistArray{PlistValue("not a record"),
                                                PlistDictionary{{"version", "1"}}}}}));

  // A registry whose "addons" is no array reads as empty and is not touched.
  ASSERT_FALSE(platform::PropertyListFile::write(registry.string(),
                                                 PlistDictionary{{"addons", "text"}}));
  const std::string odd = readWholeFile(registry);
  EXPECT_FALSE(rcp.getRegistryInfoForAddon("a.b"));
  EXPECT_FALSE(rcp.removeRegistryInfoforAddon("a.b"));
  EXPECT_EQ(readWholeFile(registry), odd);
}

}  // namespace
