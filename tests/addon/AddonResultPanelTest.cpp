// What an add-on installation leaves for the package installer's result panel in the
// configuration store, and what it leaves alone, in a private /tmp.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/AddonPackageBuilder.h"
#include "common/FileHelpers.h"
#include "common/PlistPrinting.h"
#include "common/TempDir.h"
#include "installer/addon/Addon.h"
#include "platform/PropertyListFile.h"

namespace {

namespace fs = std::filesystem;
using addon::Addon;
using platform::PlistDictionary;
using platform::PlistValue;
using testing_support::AddonPackageBuilder;
using testing_support::bytesOf;

const std::string kStore = "/tmp/com.norq.rcp.platform.internal.configuration";
const std::string kZelConfig = "/tmp/zel.config";

void writeText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

class ResultPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove(kStore);
    fs::remove(kZelConfig);
    fs::create_directories(rcpHome_);
  }

  Addon addonOf(AddonPackageBuilder package) const {
    return Addon(package.build().package.string(), (dir_.path() / "Applications").string(), rcpHome_.string());
  }
  Addon addon() const { return addonOf(AddonPackageBuilder(dir_.path() / "media").set("ID", "a.b")); }

  static std::optional<PlistValue> store() { return platform::PropertyListFile::read(kStore); }

  testing_support::TempDir dir_;
  fs::path rcpHome_ = dir_.path() / "rcp";
};

TEST_F(ResultPanelTest, HandsOverDataFolderAndRcpHomeAndKeepsOtherKeys) {
  const PlistValue home(rcpHome_.string());
  struct Case {
    std::string name;
    std::optional<std::string> settings;  // rcplauncher.properties, none for no file
    std::optional<PlistDictionary> storeBefore;
    PlistDictionary storeAfter;
  };
  const std::vector<Case> cases = {
      {"first hand-over", "rcp.data=/Users/u/rcpdata\n", std::nullopt,
       {{"P_RCPDATA", PlistValue("/Users/u/rcpdata")}, {"pathToRcpHome", home}}},
      {"earlier store",
       "rcp.data=/Users/u/rcpdata\n",
       PlistDictionary{{"P_RCPDATA", PlistValue("/old")}, {"pathToRcpHome", PlistValue("/old/rcp")},
                       {"other", PlistValue("kept")}},
       {{"P_RCPDATA", PlistValue("/Users/u/rcpdata")}, {"pathToRcpHome", home}, {"other", PlistValue("kept")}}},
      {"settings without rcp.data", "rcp.install.id=1\n", PlistDictionary{{"P_RCPDATA", PlistValue("/old")}},
       {{"pathToRcpHome", home}}},
      {"no settings file", std::nullopt,
       PlistDictionary{{"P_RCPDATA", PlistValue("/old")}, {"other", PlistValue("kept")}},
       {{"pathToRcpHome", home}, {"other", PlistValue("kept")}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(rcpHome_ / "rcplauncher.properties");
    if (c.settings) writeText(rcpHome_ / "rcplauncher.properties", *c.settings);
    fs::remove(kStore);
    if (c.storeBefore) {
      ASSERT_FALSE(platform::PropertyListFile::write(kStore, PlistValue(*c.storeBefore)));
    }
    writeText(kZelConfig, "left over");

    addon().setupConfiguratioForResultPanel();

    EXPECT_EQ(store(), PlistValue(c.storeAfter));
    EXPECT_FALSE(fs::exists(fs::symlink_status(kZelConfig)));
  }
}

// Anyone may plant entries in /tmp. A link or a second name of another file at the store's path
// is no store: its target is neither read into the store (it may be a file only root can read)
// nor written; the store replaces the entry. A link at "/tmp/zel.config" goes, not its target.
TEST_F(ResultPanelTest, EntriesPlantedInTmpAreNeitherReadNorWrittenThrough) {
  const std::string secret = "/tmp/secret.plist";
  const PlistValue secretContents(PlistDictionary{{"password", PlistValue("s3cret")}});
  testing_support::TempDir elsewhere;
  const std::string zelTarget = elsewhere / "zel-target";
  for (const std::string& kind : {std::string("symbolic link"), std::string("hard link")}) {
    SCOPED_TRACE(kind);
    ASSERT_FALSE(platform::PropertyListFile::write(secret, secretContents));
    ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
    fs::remove(kStore);
    if (kind == "symbolic link") {
      fs::create_symlink(secret, kStore);
    } else {
      fs::create_hard_link(secret, kStore);
    }
    writeText(zelTarget, "keep");
    fs::remove(kZelConfig);
    fs::create_symlink(zelTarget, kZelConfig);

    addon().setupConfiguratioForResultPanel();

    EXPECT_EQ(store(), PlistValue(PlistDictionary{{"pathToRcpHome", PlistValue(rcpHome_.string())}}));
    EXPECT_FALSE(fs::is_symlink(kStore));
    EXPECT_EQ(platform::PropertyListFile::read(secret), secretContents);
    EXPECT_FALSE(fs::exists(fs::symlink_status(kZelConfig)));
    EXPECT_EQ(bytesOf(zelTarget), "keep");
    fs::remove(secret);
  }
}

TEST_F(ResultPanelTest, AnAddonWithoutIDIsNeverRecorded) {
  Addon withoutID = addonOf(AddonPackageBuilder(dir_.path() / "media").set("version", "1.0"));
  const fs::path registry = rcpHome_ / "addonInfo.plist";

  EXPECT_TRUE(withoutID.updateAddonRegistry()) << "nothing to record is no failure";
  EXPECT_FALSE(fs::exists(registry));

  const PlistValue records(PlistDictionary{
      {"addons", PlistValue(platform::PlistArray{PlistValue(PlistDictionary{{"ID", PlistValue("x.y")}})})},
      {"other", PlistValue("kept")}});
  ASSERT_FALSE(platform::PropertyListFile::write(registry.string(), records));
  const std::optional<std::string> before = bytesOf(registry);
  EXPECT_TRUE(withoutID.updateAddonRegistry());
  EXPECT_EQ(bytesOf(registry), before);
}

}  // namespace
