// AddonUninstall's registry record handling, the command-line lookup of purgeAddonRecord and
// the log file of RCPUninstallAddon (in a private /tmp).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/FileHelpers.h"
#include "common/PlistPrinting.h"
#include "common/PrivateNamespace.h"
#include "common/TempDir.h"
#include "installer/addonuninstall/AddonUninstall.h"
#include "installer/addonuninstall/RCPAddonUninstall.h"
#include "platform/AttachedLogFile.h"
#include "platform/PropertyListFile.h"

namespace {

namespace fs = std::filesystem;
using addonuninstall::AddonUninstall;
using addonuninstall::getValueByKey;
using platform::PlistArray;
using platform::PlistDictionary;
using platform::PlistValue;
using testing_support::bytesOf;

PlistValue record(const std::string& id, std::optional<std::string> version = std::nullopt) {
  PlistDictionary fields{{"ID", PlistValue(id)}};
  if (version) fields["version"] = PlistValue(*version);
  return PlistValue(std::move(fields));
}

PlistValue registry(PlistArray records, PlistDictionary others = {}) {
  others["addons"] = PlistValue(std::move(records));
  return PlistValue(std::move(others));
}

TEST(GetValueByKeyTest, TheValueAfterTheFirstKeyThatHasOne) {
  struct Case {
    std::string name;
    std::vector<const char*> argv;
    std::optional<std::string> value;
  };
  const std::vector<Case> cases = {
      {"key then value", {"purgeAddonRecord", "-rcphome", "/A", "-addonID", "a.b"}, "a.b"},
      {"key last is skipped", {"purgeAddonRecord", "-rcphome", "/A", "-addonID"}, std::nullopt},
      {"first of repeated keys", {"purgeAddonRecord", "-addonID", "a.b", "-addonID", "c.d"}, "a.b"},
      {"value that is itself a key", {"purgeAddonRecord", "-addonID", "-rcphome", "/A"}, "-rcphome"},
      {"program name counts as an argument", {"-addonID", "a.b"}, "a.b"},
      {"exact case only", {"purgeAddonRecord", "-addonid", "a.b", "-ADDONID", "c.d"}, std::nullopt},
      {"empty value is a value", {"purgeAddonRecord", "-addonID", ""}, ""},
      {"nothing at all", {}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(getValueByKey(static_cast<int>(c.argv.size()), c.argv.data(), "-addonID"), c.value);
  }
}

class AddonRecordTest : public ::testing::Test {
 protected:
  AddonRecordTest() { fs::create_directories(rcpHome_); }

  fs::path registryFile() const { return rcpHome_ / "addonInfo.plist"; }
  void writeRegistry(const PlistValue& contents) const {
    ASSERT_FALSE(platform::PropertyListFile::write(registryFile().string(), contents));
  }
  std::optional<PlistValue> readRegistry() const { return platform::PropertyListFile::read(registryFile().string()); }

  testing_support::TempDir dir_;
  fs::path rcpHome_ = dir_.path() / "rcp";
};

TEST_F(AddonRecordTest, OnlyTheFirstRecordOfTheAddonIsLoadedAndPurged) {
  PlistDictionary first = *record("a.b", "1.0").asDictionary();
  first["uninstallManifest"] = PlistValue("uninstall.first.xml");
  // Entries that are no records, or whose ID is no text, never match.
  writeRegistry(registry({PlistValue("a.b"), PlistValue(PlistDictionary{{"ID", PlistValue(1)}}),
                          record("x.y", "2.0"), PlistValue(first), record("a.b", "2.0")},
                         {{"other", PlistValue("dropped")}}));

  AddonUninstall uninstall(rcpHome_.string(), "a.b");
  EXPECT_EQ(uninstall.addonInfo(), first);

  uninstall.purgeAddonRecord();
  EXPECT_EQ(readRegistry(), registry({PlistValue("a.b"), PlistValue(PlistDictionary{{"ID", PlistValue(1)}}),
                                      record("x.y", "2.0"), record("a.b", "2.0")}));
  EXPECT_EQ(AddonUninstall(rcpHome_.string(), "a.b").addonInfo(), *record("a.b", "2.0").asDictionary());
}

TEST_F(AddonRecordTest, PurgeRewritesTheRegistryHoldingAddonsAloneEvenWithoutAMatch) {
  struct Case {
    std::string name;
    PlistValue before;
    PlistValue after;
  };
  const std::vector<Case> cases = {
      {"other add-ons and another key",
       registry({record("x.y", "1.0"), record("A.B", "1.0")}, {{"other", PlistValue("dropped")}}),
       registry({record("x.y", "1.0"), record("A.B", "1.0")})},
      {"no addons key", PlistValue(PlistDictionary{{"other", PlistValue(1)}}), registry({})},
      // Nothing this system writes: left as it is rather than emptied.
      {"addons that is no array", PlistValue(PlistDictionary{{"addons", PlistValue("a.b")}}),
       PlistValue(PlistDictionary{{"addons", PlistValue("a.b")}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeRegistry(c.before);
    AddonUninstall uninstall(rcpHome_.string(), "a.b");
    EXPECT_TRUE(uninstall.addonInfo().empty());
    EXPECT_EQ(uninstall.purgeAddonRecord(), !(c.before == c.after));
    EXPECT_EQ(readRegistry(), c.after);
  }
}

TEST_F(AddonRecordTest, NothingIsReadOrWrittenWithoutRegistryRcpHomeOrAddonID) {
  {
    SCOPED_TRACE("no registry file: none is created");
    AddonUninstall uninstall(rcpHome_.string(), "a.b");
    EXPECT_TRUE(uninstall.purgeAddonRecord()) << "no record is no failure";
    EXPECT_TRUE(uninstall.addonInfo().empty());
    EXPECT_FALSE(fs::exists(registryFile()));
  }
  writeRegistry(registry({record("a.b", "1.0")}, {{"other", PlistValue("kept")}}));
  const std::optional<std::string> before = bytesOf(registryFile());
  struct Case {
    std::string name;
    std::optional<std::string> rcpHome, addonID;
  };
  const std::vector<Case> cases = {
      {"no add-on id", rcpHome_.string(), std::nullopt},
      {"no rcp home", std::nullopt, "a.b"},
      {"rcp home that does not exist", (dir_.path() / "none/rcp").string(), "a.b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AddonUninstall uninstall(c.rcpHome, c.addonID);
    EXPECT_TRUE(uninstall.addonInfo().empty());
    EXPECT_TRUE(uninstall.purgeAddonRecord());
    EXPECT_EQ(uninstall.uninstallAddon(), 150) << "nothing to uninstall from";
    EXPECT_EQ(bytesOf(registryFile()), before);
  }
}

TEST_F(AddonRecordTest, AnUnreadableRegistryIsNotReplacedByAnEmptyOne) {
  for (const std::string& bytes : {std::string("<?xml version=\"1.0\"?><plist><dict><key>addons"),
                                  std::string("not a property list"), std::string()}) {
    SCOPED_TRACE(bytes);
    { std::ofstream(registryFile(), std::ios::binary | std::ios::trunc) << bytes; }
    AddonUninstall uninstall(rcpHome_.string(), "a.b");
    const std::string logFile = "/tmp/addon-record-test.log";
    platform::AttachedLogFile log(logFile);
    EXPECT_FALSE(uninstall.purgeAddonRecord());
    EXPECT_EQ(bytesOf(registryFile()), bytes);
    EXPECT_EQ(testing_support::logTexts(bytesOf(logFile).value_or("")),
              std::vector<std::string>{"Fail to read " + registryFile().string() + ". It is left unchanged."});
  }
}

// RCPUninstallAddon logs to "/tmp/rcp_" + id + "_uninstall.log" from its first message on; the
// location here holds no instance, so the call ends after its checks with 150.
TEST(UninstallLogFileTest, EachAddonLogsToItsOwnFileInTmpNeverElsewhere) {
  testing_support::TempDir location;
  struct Case {
    std::string addonID;
    std::string logFile;
  };
  const std::vector<Case> cases = {
      {"a.b", "/tmp/rcp_a.b_uninstall.log"},
      {"", "/tmp/rcp__uninstall.log"},
      {"../etc/x", "/tmp/rcp_addon_uninstall.log"},
      {"a/b", "/tmp/rcp_addon_uninstall.log"},
      {".", "/tmp/rcp_addon_uninstall.log"},
      {"..", "/tmp/rcp_addon_uninstall.log"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.addonID);
    fs::remove(c.logFile);
    EXPECT_EQ(RCPUninstallAddon(location.str().c_str(), c.addonID.c_str()), 150);
    std::optional<std::string> text = bytesOf(c.logFile);
    ASSERT_TRUE(text);
    std::vector<std::string> texts = testing_support::logTexts(*text);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), "addon ID : " + c.addonID + " .");
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2], "Fail to locate target platform. ");
    EXPECT_EQ(texts.back(), "RCPUninstallAddon exits with 150");
  }
  // A location ending in "/" is joined with "rcp" as a path.
  EXPECT_EQ(RCPUninstallAddon((location.str() + "/").c_str(), "a.b"), 150);
  const std::vector<std::string> joined =
      testing_support::logTexts(bytesOf("/tmp/rcp_a.b_uninstall.log").value_or(""));
  ASSERT_GE(joined.size(), 2u);
  EXPECT_EQ(joined[1], "Home location : " + location.str() + "/rcp .");

  // A link planted at the log file's path is not followed: its target stays as it was.
  testing_support::TempDir elsewhere;
  const std::string target = elsewhere / "target";
  { std::ofstream(target) << "keep"; }
  fs::remove("/tmp/rcp_a.b_uninstall.log");
  fs::create_symlink(target, "/tmp/rcp_a.b_uninstall.log");
  EXPECT_EQ(RCPUninstallAddon(location.str().c_str(), "a.b"), 150);
  EXPECT_EQ(bytesOf(target), "keep");
  EXPECT_TRUE(fs::is_symlink("/tmp/rcp_a.b_uninstall.log"));
  fs::remove("/tmp/rcp_a.b_uninstall.log");
}

}  // namespace
