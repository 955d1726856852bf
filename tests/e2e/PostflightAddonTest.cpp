// postflightAddon run as the package installer runs it, against instances made on disk with the
// simulated launcher as their "rcplauncher", inside a private mount namespace (the log file,
// the configuration store and the installer pasteboard live in a private /tmp).
#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <sys/file.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "common/AddonPackageBuilder.h"
#include "common/EndToEndTest.h"
#include "common/InstanceBuilder.h"
#include "common/PrivateNamespace.h"
#include "common/TempDir.h"
#include "common/TestUser.h"
#include "platform/PropertyListFile.h"
#include "platform/UniqueFd.h"
#include "tools/rcplauncher-sim/Journal.h"

namespace {

namespace fs = std::filesystem;
using platform::PlistArray;
using platform::PlistDictionary;
using platform::PlistValue;
using testing_support::addonManifest;
using testing_support::AddonPackageBuilder;
using testing_support::AddonRecord;
using testing_support::BuiltInstance;
using testing_support::InstanceBuilder;
using testing_support::NamespaceRun;
using testing_support::PrivateNamespace;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

const std::string kProgram = POSTFLIGHT_ADDON;
constexpr const char* kLog = "/tmp/rcp_a.b_install.log";
constexpr const char* kStore = "/tmp/com.norq.rcp.platform.internal.configuration";
constexpr const char* kPlugin = testing_support::kAddonPlugin;

class PostflightAddonTest : public testing_support::EndToEndTest {
 protected:
  void SetUp() override {
    resetLauncherSwitches();
    offerAddonPlugin(dir_.path());
  }

  fs::path destination() const { return dir_.path() / "Applications"; }

  BuiltInstance instance(std::vector<AddonRecord> records = {}) const {
    InstanceBuilder builder(destination());
    builder.launcher(RCPLAUNCHER_SIM_PATH);
    for (AddonRecord& record : records) builder.addonRecord(std::move(record));
    return builder.build();
  }

  // The package "Addon.pkg" under <dir>/media with its manifests in <dir>/media/deploy; the
  // default update site "${package}/../../updates/platform" is <dir>/updates/platform.
  AddonPackageBuilder package() const { return addonPackageWithManifests(dir_.path() / "media"); }

  NamespaceRun run(const std::vector<std::string>& words) {
    return freshNamespace().run({words})[0];
  }

  std::vector<std::string> installWords(const fs::path& pkg, const std::string& frameworkFolder = "") const {
    return {kProgram, pkg.string(), destination().string(), "", "", frameworkFolder};
  }

  NamespaceRun install(const fs::path& pkg, const std::string& frameworkFolder = "") {
    return run(installWords(pkg, frameworkFolder));
  }

  static std::vector<std::string> logOf(const NamespaceRun& run) {
    std::optional<std::string> text = run.fileText(kLog);
    return text ? testing_support::logTexts(*text) : std::vector<std::string>{};
  }

  static std::optional<PlistValue> plist(const fs::path& path) {
    return platform::PropertyListFile::read(path.string());
  }

  static std::vector<std::vector<std::string>> journal(const BuiltInstance& target) {
    return rcpsim::readJournal((target.rcpHome.parent_path() / rcpsim::kJournalName).string())
        .value_or(std::vector<std::vector<std::string>>{});
  }

  static PlistValue registryWith(std::vector<PlistValue> records) {
    return PlistValue(PlistDictionary{{"addons", PlistValue(PlistArray(std::move(records)))}});
  }

  static PlistValue record(const std::string& id, const std::string& manifest,
                           std::optional<std::string> version) {
    PlistDictionary entry{{"ID", PlistValue(id)}, {"uninstallManifest", PlistValue(manifest)}};
    if (version) entry["version"] = PlistValue(*version);
    return PlistValue(entry);
  }

  static std::string bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
};

TEST_F(PostflightAddonTest, InstallsTheAddonThroughTheLauncherAndRecordsIt) {
  BuiltInstance target = instance();
  std::ofstream(target.rcpHome / "rcplauncher.properties")
      << "provisioning.manifest.version=0101000000\nrcp.data=/Users/someone/rcpdata\n";
  std::ofstream(target.rcpHome / "plugin_customization.ini") << "kept=1\n";
  // The owner's own files, named much like temporaries: no sweep takes them.
  std::ofstream(target.rcpHome / "deploy/.notes.copy-202412081530") << "notes";
  std::ofstream(target.rcpHome / ".rcplauncher.properties.tmp-backup") << "backup";
  const std::string installed = bytesOf(target.rcpHome / "deploy/install.xml");
  fs::path pkg = package()
                     .deployFile("plugin_customization.ini", "added=2\n")
                     .set("pluginCustomization", (dir_.path() / "media/deploy/plugin_customization.ini").string())
                     .build()
                     .package;
  ::setenv("USER", "root", 1);
  // An earlier installation's error, still on the installer pasteboard.
  const std::string board = "/run/rcp-pasteboards/0/pasteboards/INSTALLATION_INTERNAL_PASTEBOARD";
  PrivateNamespace ns = freshNamespace();
  ns.privateFolder("/run/user").makeFolder(board).plantFile(board + "/type-ERROR_MESSAGE.plist", "stale");

  NamespaceRun result = ns.run({{"/bin/chmod", "-R", "go=", "/run/rcp-pasteboards/0"},
                                installWords(pkg)})[1];

  ASSERT_EQ(result.status, 0) << result.standardError;
  EXPECT_EQ(plist(result.snapshotOf(board + "/type-ERROR_MESSAGE.plist")),
            PlistValue(PlistDictionary{{"ERROR_CODE", PlistValue(0)}, {"ERROR_DETAILS", PlistValue(PlistArray{})}}))
      << "the error channel starts empty for the launcher";
  EXPECT_TRUE(fs::exists(target.rcpHome / "eclipse/plugins" / kPlugin / "plugin.xml"));
  EXPECT_EQ(plist(target.rcpHome / "addonInfo.plist"),
            registryWith({record("a.b", "uninstall.a.b.xml", "1.0")}));
  EXPECT_TRUE(fs::exists(target.rcpHome / "deploy/uninstall.a.b.xml"));
  EXPECT_FALSE(fs::exists(target.rcpHome / "deploy/install.update.xml")) << "cleanup removes it";
  EXPECT_EQ(bytesOf(target.rcpHome / "deploy/.notes.copy-202412081530"), "notes");
  EXPECT_EQ(bytesOf(target.rcpHome / ".rcplauncher.properties.tmp-backup"), "backup");

  // The manifest version names both the settings entry and the backup of the old manifest.
  std::ifstream settings(target.rcpHome / "rcplauncher.properties");
  std::string text((std::istreambuf_iterator<char>(settings)), {});
  std::smatch version;
  ASSERT_TRUE(std::regex_search(text, version, std::regex("provisioning\\.manifest\\.version=(\\d{10})")))
      << text;
  EXPECT_NE(version[1].str(), "0101000000");
  EXPECT_EQ(bytesOf(target.rcpHome / "deploy/install.0101000000.xml"), installed)
      << "backed up under the version it was installed with";
  EXPECT_EQ(bytesOf(target.rcpHome / "plugin_customization.ini"), "added=2\nkept=1\n")
      << "the package's customization is merged into the instance's";

  // Owner, group "admin" and 0775 below the rcp home (the rcp home itself keeps its own).
  struct group* admin = ::getgrnam("admin");
  ASSERT_NE(admin, nullptr);
  for (const fs::path& path : {target.rcpHome / "deploy", target.rcpHome / "eclipse/plugins" / kPlugin,
                               target.rcpHome / "addonInfo.plist"}) {
    SCOPED_TRACE(path.string());
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_gid, admin->gr_gid);
    EXPECT_EQ(st.st_mode & 07777, 0775u);
  }

  std::optional<PlistValue> store = plist(result.snapshotOf(kStore));
  ASSERT_TRUE(store);
  EXPECT_EQ(*store, PlistValue(PlistDictionary{
                        {"P_RCPDATA", PlistValue("/Users/someone/rcpdata")},
                        {"pathToRcpHome", PlistValue(target.rcpHome.string())}}));
  EXPECT_THAT(logOf(result), Contains("Begin to install features ."));
  EXPECT_THAT(logOf(result), Contains("Updating addon registry info"));
  EXPECT_THAT(logOf(result), Not(Contains(::testing::HasSubstr("Fail to"))));
  EXPECT_EQ(bytesOf(target.rcpHome.parent_path() / rcpsim::kResultSightingsName), "0\n0\n")
      << "the result file is deleted before each run";
}

TEST_F(PostflightAddonTest, FailedProvisioningStillCleansUpAndHandsOverButRecordsNothing) {
  BuiltInstance target = instance();
  fs::path pkg = package().build().package;
  ::setenv("RCPSIM_FORCE_RC", "1", 1);

  NamespaceRun result = install(pkg);

  EXPECT_EQ(result.status, 190);
  EXPECT_FALSE(fs::exists(target.rcpHome / "addonInfo.plist"));
  std::vector<std::vector<std::string>> runs = journal(target);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1].back(), "cleanup");
  std::optional<PlistValue> store = plist(result.snapshotOf(kStore));
  ASSERT_TRUE(store);
  EXPECT_EQ(*store, PlistValue(PlistDictionary{{"pathToRcpHome", PlistValue(target.rcpHome.string())}}))
      << "no settings file: P_RCPDATA is left out";
}

TEST_F(PostflightAddonTest, AStaleResultFileNeverCountsAsThisRunsResult) {
  BuiltInstance target = instance();
  std::ofstream(target.rcpHome.parent_path() / ".provisioning_rc") << "rc=0\n";
  fs::path pkg = package().build().package;
  ::setenv("RCPSIM_NO_RESULT", "1", 1);

  EXPECT_EQ(install(pkg).status, 190);
  EXPECT_FALSE(fs::exists(target.rcpHome.parent_path() / ".provisioning_rc"));
  EXPECT_EQ(bytesOf(target.rcpHome.parent_path() / rcpsim::kResultSightingsName), "0\n0\n")
      << "neither run starts with a result file there";
}

TEST_F(PostflightAddonTest, NothingIsStagedWithoutAPackageOrAnRcpHome) {
  BuiltInstance target = instance();
  fs::path pkg = package().build().package;
  struct Case {
    std::string name;
    std::vector<std::string> words;
    std::string log;     // the run's log file
    std::string failed;  // the line that says what failed
  };
  const std::string noPackage = "Fail to locate install package. ";
  const std::vector<Case> cases = {
      {"missing package", {kProgram, (dir_.path() / "none.pkg").string(), destination().string()},
       "/tmp/rcp_addon_install.log", noPackage},
      {"no package position", {kProgram}, "/tmp/rcp_addon_install.log", noPackage},
      {"no target bundle", {kProgram, AddonPackageBuilder(dir_.path() / "other").set("ID", "a.b")
                                          .build().package.string(), destination().string()},
       kLog, "Fail to locate rcp home. "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NamespaceRun result = run(c.words);
    EXPECT_EQ(result.status, 199);
    EXPECT_FALSE(fs::exists(target.rcpHome / "deploy/install.update.xml"));
    EXPECT_TRUE(journal(target).empty());
    const std::vector<std::string> lines = testing_support::logTexts(result.fileText(c.log).value_or(""));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], c.failed);
    EXPECT_EQ(lines.back(), "postflightAddon exits with 199");
  }
}

TEST_F(PostflightAddonTest, MissingManifestsAndAMissingRcpHome) {
  BuiltInstance target = instance();
  {
    SCOPED_TRACE("rcp home named by position 5 does not exist");
    NamespaceRun result = install(package().build().package, (dir_.path() / "nowhere").string());
    EXPECT_EQ(result.status, 199);
    EXPECT_THAT(logOf(result), Contains(" Fail to copy install manifest. "));
  }
  {
    SCOPED_TRACE("no install manifest");
    fs::path pkg = AddonPackageBuilder(dir_.path() / "noinstall")
                       .set("ID", "a.b").set("targetBundle", "Tallo").build().package;
    NamespaceRun result = install(pkg);
    EXPECT_EQ(result.status, 199);
    EXPECT_THAT(logOf(result), Contains(" Fail to copy install manifest. "));
    EXPECT_TRUE(journal(target).empty());
  }
  {
    SCOPED_TRACE("an install manifest that declares an external entity");
    std::string manifest = addonManifest();
    manifest.insert(manifest.find("<manifest>"), "<!DOCTYPE manifest [<!ENTITY x SYSTEM \"file:///etc/shadow\">]>\n");
    manifest.insert(manifest.find("<domain-object>"), "&x;");
    fs::path pkg = addonPackageWithManifests(dir_.path() / "external")
                       .deployFile("install.a.b.xml", manifest).build().package;
    NamespaceRun result = install(pkg);
    EXPECT_EQ(result.status, 199);
    EXPECT_THAT(logOf(result), Contains(" Fail to copy install manifest. "));
    EXPECT_TRUE(journal(target).empty()) << "the launcher never runs";
  }
  {
    SCOPED_TRACE("no uninstall manifest: a warning, still installed");
    fs::path pkg = AddonPackageBuilder(dir_.path() / "nouninstall")
                       .set("ID", "a.b").set("targetBundle", "Tallo")
                       .deployFile("install.a.b.xml", addonManifest()).build().package;
    NamespaceRun result = install(pkg);
    EXPECT_EQ(result.status, 0) << result.standardError;
    EXPECT_THAT(logOf(result), Contains("Fail to copy uninstall manifest. "));
  }
  {
    SCOPED_TRACE("an uninstall manifest that declares an external entity: not staged, still installed");
    std::string manifest = addonManifest("uninstall");
    manifest.insert(manifest.find("<manifest>"), "<!DOCTYPE manifest [<!ENTITY x SYSTEM \"file:///etc/shadow\">]>\n");
    fs::remove(target.rcpHome / "deploy/uninstall.a.b.xml");
    fs::path pkg = addonPackageWithManifests(dir_.path() / "external-uninstall")
                       .deployFile("uninstall.a.b.xml", manifest).build().package;
    NamespaceRun result = install(pkg);
    EXPECT_EQ(result.status, 0) << result.standardError;
    EXPECT_THAT(logOf(result), Contains("Fail to copy uninstall manifest. "));
    EXPECT_FALSE(fs::exists(target.rcpHome / "deploy/uninstall.a.b.xml"));
  }
}

TEST_F(PostflightAddonTest, OnlyANoEmbeddedValueRecordsTheAddon) {
  for (const char* embedded : {"no", "No", "NO", "yes"}) {
    SCOPED_TRACE(embedded);
    BuiltInstance target = instance();
    fs::path pkg = package().set("EMBEDDED", embedded).build().package;
    EXPECT_EQ(install(pkg).status, 0);
    EXPECT_EQ(fs::exists(target.rcpHome / "addonInfo.plist"), std::string(embedded) != "yes");
    fs::remove_all(destination());
  }
}

TEST_F(PostflightAddonTest, RegistryMergeReplacesEveryRecordOfTheAddonInPlace) {
  BuiltInstance target = instance({{"x.y", "2.0", "uninstall.x.y.xml"},
                                   {"a.b", "0.9", "uninstall.a.b.xml"},
                                   {"z.z", std::nullopt, "uninstall.z.z.xml"},
                                   {"a.b", "0.8", "old.xml"}});
  // A top-level key besides "addons" is dropped by the rewrite.
  PlistValue registry = *plist(target.rcpHome / "addonInfo.plist");
  (*registry.asDictionary())["other"] = PlistValue("dropped");
  ASSERT_FALSE(platform::PropertyListFile::write((target.rcpHome / "addonInfo.plist").string(), registry));

  // A configuration without "version" records the add-on without one.
  fs::path pkg = AddonPackageBuilder(dir_.path() / "media")
                     .set("ID", "a.b").set("targetBundle", "Tallo")
                     .set("uninstallManifest", (dir_.path() / "media/deploy/uninstall.a.b.xml").string())
                     .deployFile("install.a.b.xml", addonManifest())
                     .deployFile("uninstall.a.b.xml", addonManifest("uninstall"))
                     .build().package;
  ASSERT_EQ(install(pkg).status, 0);

  EXPECT_EQ(plist(target.rcpHome / "addonInfo.plist"),
            registryWith({record("x.y", "uninstall.x.y.xml", "2.0"),
                          record("a.b", "uninstall.a.b.xml", std::nullopt),
                          record("z.z", "uninstall.z.z.xml", std::nullopt),
                          record("a.b", "uninstall.a.b.xml", std::nullopt)}));
}

TEST_F(PostflightAddonTest, PositionFiveNamesTheFrameworkFolderPositionSixIsNotRead) {
  BuiltInstance tallo = instance();
  BuiltInstance other = InstanceBuilder(destination()).bundleName("Other").launcher(RCPLAUNCHER_SIM_PATH).build();
  fs::path pkg = package().build().package;
  const fs::path registry = "addonInfo.plist";

  // The bundle override of the checker (position 6) does not move the installation.
  NamespaceRun byConfiguration = run({kProgram, pkg.string(), destination().string(), "", "", "", "Other"});
  ASSERT_EQ(byConfiguration.status, 0) << byConfiguration.standardError;
  EXPECT_TRUE(fs::exists(tallo.rcpHome / registry));
  EXPECT_FALSE(fs::exists(other.rcpHome / registry));

  NamespaceRun byPosition = install(pkg, other.installLocation.string());
  ASSERT_EQ(byPosition.status, 0) << byPosition.standardError;
  EXPECT_TRUE(fs::exists(other.rcpHome / registry));
  EXPECT_EQ(journal(other).size(), 2u);
}

TEST_F(PostflightAddonTest, TheLauncherGetsExactlyTheTwoArgumentListsWithTheUsersLocale) {
  RCP_WITH_TEST_USER(user);
  ::setenv("USER", user.name.c_str(), 1);
  ASSERT_EQ(::seteuid(user.uid), 0);
  fs::create_directories(user.home + "/Library/Preferences");
  PlistValue globals(PlistDictionary{{"AppleLocale", PlistValue("de_CH")}});
  ASSERT_FALSE(platform::PropertyListFile::write(
      user.home + "/Library/Preferences/.GlobalPreferences.plist", globals));
  ASSERT_EQ(::seteuid(0), 0);

  BuiltInstance target = instance();
  fs::path pkg = package().set("updateSiteList", "/Volumes/Pkg/updates").build().package;
  // The update site given does not exist, but the manifest's own url still leads to the plug-in.
  ASSERT_EQ(install(pkg).status, 0);

  EXPECT_THAT(journal(target),
              ElementsAre(ElementsAre("-rcpLauncherWait", "-provManifest", "-noSplash",
                                      "-provisioningOperation", "update", "-nl", "de_CH",
                                      "-vmargs", "-Dfile.encoding=UTF-8",
                                      "-DprovisioningOperation=update",
                                      "-DprovUpdateSiteListOverride=file:/Volumes/Pkg/updates",
                                      "-Xms32m", "-Xmx256m"),
                          ElementsAre("-provManifest", "-rcpLauncherWait", "-noSplash", "-product",
                                      "NULL", "-provisioningOperation", "cleanup")));
}

// A registry that cannot be read, or that holds a value the XML form cannot carry, is never
// replaced: the other add-ons' records stay, the add-on is not recorded and the run fails. One
// that cannot be read stops the run before anything is staged.
TEST_F(PostflightAddonTest, ARegistryThatCannotBeReadOrWrittenBackIsLeftAsItIs) {
  const std::string whole = bytesOf(instance({{"x.y", "2.0", "uninstall.x.y.xml"}}).rcpHome / "addonInfo.plist");
  fs::remove_all(destination());
  std::string deep = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>addons</key>";
  for (int i = 0; i < 600; ++i) deep += "<array>";
  for (int i = 0; i < 600; ++i) deep += "</array>";
  deep += "</dict></plist>";
  struct Case {
    std::string name;
    std::string bytes;
    std::uintmax_t size;  // the file is extended (sparse) to this size when larger
    std::string logged;   // after the registry path
  };
  const std::vector<Case> cases = {
      {"cut short", whole.substr(0, whole.size() - 3), 0, ". It is left unchanged."},
      {"over the size cap", whole, (std::uintmax_t{64} << 20) + 1, ". It is left unchanged."},
      {"nested too deep", deep, 0, ". It is left unchanged."},
      {"a control character read from the text form",
       "{ addons = ( { ID = \"x.y\"; version = \"2.0\"; uninstallManifest = \"u\\U0001.xml\"; } ); }", 0,
       " (Invalid argument)."},
  };
  fs::path pkg = package().build().package;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BuiltInstance target = instance();
    const fs::path registry = target.rcpHome / "addonInfo.plist";
    std::ofstream(registry, std::ios::binary | std::ios::trunc) << c.bytes;
    if (c.size) fs::resize_file(registry, c.size);
    const std::uintmax_t sizeBefore = fs::file_size(registry);

    NamespaceRun result = install(pkg);

    EXPECT_EQ(result.status, 190);
    EXPECT_EQ(fs::file_size(registry), sizeBefore);
    if (!c.size) {
      EXPECT_EQ(bytesOf(registry), c.bytes);
    }
    const std::string verb = c.logged[0] == '.' ? "Fail to read " : "Fail to write ";
    EXPECT_THAT(logOf(result), Contains(verb + registry.string() + c.logged));
    const bool unread = c.logged[0] == '.';
    EXPECT_EQ(fs::exists(target.rcpHome / "eclipse/plugins" / kPlugin), !unread);
    EXPECT_EQ(journal(target).empty(), unread) << "no launcher run when a record cannot be read";
    EXPECT_EQ(fs::exists(target.rcpHome / "deploy/uninstall.a.b.xml"), !unread);
    for (const auto& entry : fs::directory_iterator(target.rcpHome)) {
      EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
    }
    fs::remove_all(destination());
  }
}

// The result panel's store is a side channel anyone may block in /tmp: a store that cannot be
// read or written is a warning, and the installation that worked still ends with 0.
TEST_F(PostflightAddonTest, AResultPanelStoreThatCannotBeWrittenIsOnlyAWarning) {
  fs::path pkg = package().build().package;
  const std::string oversized = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>k</key><string>" +
                                std::string(std::size_t{2} << 20, 'x') + "</string></dict></plist>";
  for (const char* blocked : {"a folder", "garbage", "over the size cap"}) {
    SCOPED_TRACE(blocked);
    BuiltInstance target = instance();
    PrivateNamespace ns = freshNamespace();
    if (std::string(blocked) == "a folder") ns.makeFolder(kStore);
    if (std::string(blocked) == "garbage") ns.plantFile(kStore, "\x01\x02 not a property list");
    if (std::string(blocked) == "over the size cap") ns.plantFile(kStore, oversized);

    NamespaceRun result = ns.run({installWords(pkg)})[0];

    EXPECT_EQ(result.status, 0);
    const std::vector<testing_support::LogLine> lines =
        testing_support::parseLogLines(result.fileText(kLog).value_or(""));
    const std::string warning = std::string("Fail to write ") + kStore + ". The result panel is not told of this run.";
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const testing_support::LogLine& line) {
      return line.level == "Warning" && line.text == warning;
    }));
    EXPECT_TRUE(plist(target.rcpHome / "addonInfo.plist")) << "the add-on is recorded";
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().text, "postflightAddon exits with 0");
    fs::remove_all(destination());
  }
}

// Settings or a customization that exist but cannot be read stop the run before any change:
// nothing staged, no launcher run, the file left as it is, and the reason in the log.
TEST_F(PostflightAddonTest, ARecordThatCannotBeReadStopsTheRunBeforeAnyChange) {
  fs::path pkg = package().deployFile("plugin_customization.ini", "added=1\n").build().package;
  const std::string large = "big=" + std::string(std::size_t{1} << 20, 'x') + "\n";
  for (const char* name : {"plugin_customization.ini", "rcplauncher.properties"}) {
    SCOPED_TRACE(name);
    BuiltInstance target = instance();
    const fs::path record = target.rcpHome / name;
    std::ofstream(record, std::ios::trunc) << large;

    NamespaceRun result = install(pkg);

    EXPECT_EQ(result.status, 190);
    EXPECT_EQ(bytesOf(record), large);
    EXPECT_TRUE(journal(target).empty());
    EXPECT_FALSE(fs::exists(target.rcpHome / "deploy/install.update.xml"));
    EXPECT_THAT(logOf(result), ElementsAre(::testing::_, ::testing::_, "Begin to install features .",
                                           "Fail to read " + record.string() + ". It is left unchanged.",
                                           "postflightAddon exits with 190"));
    fs::remove_all(destination());
  }
}

// Extras that cannot be copied whole fail the installation with the path and the reason, and
// keep what the instance held: a folder another add-on installed is never deleted to put a file
// or a link in its place, and a chain of folders deeper than a copy goes is not cut silently.
TEST_F(PostflightAddonTest, ExtrasThatCannotBeCopiedWholeFailTheRunAndKeepWhatWasThere) {
  struct Case {
    std::string name;
    std::function<void(const fs::path& extras)> plant;  // into the package's extras
    std::string logged;                                  // after "Fail to copy <instance extras>/"
  };
  const std::vector<Case> cases = {
      {"a file named like another add-on's folder",
       [](const fs::path& extras) { std::ofstream(extras / "shared") << "a file"; },
       "shared: a folder of that name is in its place."},
      {"a link named like another add-on's folder",
       [](const fs::path& extras) { fs::create_symlink("elsewhere", extras / "shared"); },
       "shared: a folder of that name is in its place."},
      {"a chain of 600 folders",
       [](const fs::path& extras) {
         fs::path deep = extras / "shared";
         for (int i = 0; i < 600; ++i) deep /= "d";
         fs::create_directories(deep);
       },
       ": its folders are nested deeper than a copy goes."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BuiltInstance target = instance();
    const fs::path installed = target.rcpHome / "deploy/extras/shared";
    fs::create_directories(installed);
    std::ofstream(installed / "other.txt") << "another add-on's";
    const fs::path media = dir_.path() / ("media-" + std::to_string(sessions_));
    fs::create_directories(media / "deploy/extras");
    AddonPackageBuilder builder = addonPackageWithManifests(media).deployFile("extras/top.txt", "top");
    const fs::path pkg = builder.build().package;
    c.plant(media / "deploy/extras");

    NamespaceRun result = install(pkg);

    EXPECT_EQ(result.status, 190);
    EXPECT_EQ(bytesOf(installed / "other.txt"), "another add-on's");
    EXPECT_EQ(bytesOf(target.rcpHome / "deploy/extras/top.txt"), "top") << "the rest is copied";
    const std::vector<std::string> lines = logOf(result);
    const std::string prefix = "Fail to copy " + (target.rcpHome / "deploy/extras/").string();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.starts_with(prefix) && line.ends_with(c.logged);
    }));
    fs::remove_all(destination());
  }
}

// One run changes an instance at a time: while another holds it (here the test itself, so no
// timing decides the outcome), the installation waits the bounded time, says so, and fails
// having changed nothing.
TEST_F(PostflightAddonTest, AnInstanceAnotherRunHoldsIsLeftAsItIs) {
  BuiltInstance target = instance();
  platform::UniqueFd holder(::open(target.rcpHome.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_EQ(::flock(holder.get(), LOCK_EX), 0);

  NamespaceRun result = install(package().build().package);

  EXPECT_EQ(result.status, 190);
  EXPECT_TRUE(journal(target).empty());
  EXPECT_FALSE(fs::exists(target.rcpHome / "deploy/install.update.xml"));
  EXPECT_FALSE(fs::exists(target.rcpHome / "addonInfo.plist"));
  const std::string home = target.rcpHome.string();
  EXPECT_THAT(logOf(result), ElementsAre(::testing::_, ::testing::_, "Begin to install features .",
                                         "Waiting for another run to finish with " + home + ".",
                                         "Another run is still changing " + home + ". Nothing was changed.",
                                         "postflightAddon exits with 190"));
}

// A repair that does not happen is said, with the path and why; the status stays as it was.
// The shared folder beside the rcp home is a link: it is not repaired.
TEST_F(PostflightAddonTest, ARepairThatDoesNotHappenIsLogged) {
  BuiltInstance target = instance();
  const fs::path shared = target.installLocation / "shared";
  fs::remove_all(shared);
  fs::create_directories(dir_.path() / "elsewhere");
  fs::create_directory_symlink(dir_.path() / "elsewhere", shared);

  NamespaceRun result = install(package().build().package);

  EXPECT_EQ(result.status, 0) << result.standardError;
  const std::vector<testing_support::LogLine> lines =
      testing_support::parseLogLines(result.fileText(kLog).value_or(""));
  const std::string said = "Not changing the owner or mode below " + shared.string() + ": a link on its path";
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const testing_support::LogLine& line) {
    return line.level == "Warning" && line.text == said;
  }));
}

TEST_F(PostflightAddonTest, ALauncherThatDiesFailsTheInstallationWhateverTheCleanupRunLeaves) {
  fs::path pkg = package().build().package;
  for (const char* operation : {"update", "cleanup"}) {
    SCOPED_TRACE(operation);
    BuiltInstance target = instance();
    ::setenv("RCPSIM_KILL_IN", operation, 1);

    NamespaceRun result = install(pkg);

    EXPECT_EQ(result.status, 190);
    EXPECT_FALSE(fs::exists(target.rcpHome / "addonInfo.plist"));
    EXPECT_THAT(logOf(result), Contains("Fail to launch " + (target.rcpHome / "rcplauncher").string() +
                                        " or it did not exit normally."));
    EXPECT_EQ(journal(target).size(), 2u) << "the cleanup run follows a killed update run";
    fs::remove_all(destination());
  }
}

}  // namespace
