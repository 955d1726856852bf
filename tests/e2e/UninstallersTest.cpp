// The two uninstallers as other programs use them: a host program written in C loads each
// shared library with dlopen and calls its entry points, and the programs peloraHotfixUninstall
// and purgeAddonRecord run from their command lines. Everything runs in a private mount
// namespace with fresh /tmp, "/Library/Application Support" and "/Applications", against
// instances whose "rcplauncher" is the simulated launcher.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/EndToEndTest.h"
#include "common/InstanceBuilder.h"
#include "common/OpenPause.h"
#include "common/PrivateNamespace.h"
#include "common/RootVictim.h"
#include "common/RunningCopy.h"
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
using testing_support::AddonRecord;
using testing_support::BuiltInstance;
using testing_support::InstanceBuilder;
using testing_support::NamespaceRun;
using testing_support::PrivateNamespace;
using testing_support::RootVictim;
using testing_support::RunningCopy;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::Not;

const std::string kHost = ENTRY_POINT_HOST;
const std::string kAddonLibrary = ADDON_UNINSTALL_LIBRARY;
const std::string kHotfixLibrary = HOTFIX_UNINSTALL_LIBRARY;
const std::string kPurge = PURGE_ADDON_RECORD;
const std::string kHotfixProgram = PELORA_HOTFIX_UNINSTALL;
constexpr const char* kPlugin = "com.norq.feature.x_1.0.0";
constexpr const char* kOldVersion = "0101000000";

const std::vector<std::string> kUpdateRun = {
    "-rcpLauncherWait", "-provManifest", "-noSplash", "-provisioningOperation", "update", "-nl",
    "en_US", "-vmargs", "-Dfile.encoding=UTF-8", "-Xms32m", "-Xmx256m"};
const std::vector<std::string> kCleanupRun = {"-provManifest", "-rcpLauncherWait", "-noSplash",
                                              "-product", "NULL", "-provisioningOperation", "cleanup"};

// A manifest that removes one plug-in.
std::string uninstallManifest() {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<manifest><domain-object><object-data><install>\n"
                     "<installfeature id=\"x\" version=\"1.0\"><requirements>\n"
                     "<feature id=\"com.norq.feature.x\" version=\"1.0.0\" action=\"uninstall\"/>\n"
                     "</requirements></installfeature>\n"
                     "</install></object-data></domain-object></manifest>\n");
}

class UninstallersTest : public testing_support::EndToEndTest {
 protected:
  void SetUp() override {
    resetLauncherSwitches();
    ::setenv("USER", "root", 1);
  }

  // An installed instance with the plug-in the manifests remove and the given records.
  BuiltInstance instance(const std::string& folder, std::vector<AddonRecord> records = {},
                         std::optional<std::string> hotfix = std::nullopt) const {
    InstanceBuilder builder(dir_.path() / folder);
    builder.launcher(RCPLAUNCHER_SIM_PATH);
    for (AddonRecord& record : records) builder.addonRecord(std::move(record));
    if (hotfix) builder.hotfixVersion(*hotfix);
    BuiltInstance built = builder.build();
    fs::create_directories(built.rcpHome / "eclipse/plugins" / kPlugin);
    std::ofstream(built.rcpHome / "rcplauncher.properties") << "provisioning.manifest.version=" << kOldVersion << "\n";
    return built;
  }

  // The install manifest is backed up under the version it was installed with, and the launcher
  // settings then name a fresh version.
  static void expectBackupThenNewVersion(const BuiltInstance& target, const std::optional<std::string>& installed) {
    ASSERT_TRUE(installed);
    EXPECT_EQ(bytesOf(target.rcpHome / "deploy" / ("install." + std::string(kOldVersion) + ".xml")), installed);
    const std::string settings = bytesOf(target.rcpHome / "rcplauncher.properties").value_or("");
    EXPECT_THAT(settings, MatchesRegex("provisioning\\.manifest\\.version=[0-9]{10}\n"));
    EXPECT_THAT(settings, Not(HasSubstr(kOldVersion)));
  }

  static std::optional<std::string> bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }

  static void putManifest(const BuiltInstance& target, const std::string& name) {
    std::ofstream(target.rcpHome / "deploy" / name) << uninstallManifest();
  }

  std::vector<NamespaceRun> run(const std::vector<std::vector<std::string>>& commands) {
    return freshNamespace()
        .privateFolder("/Library/Application Support")
        .privateFolder("/Applications")
        .run(commands);
  }

  // Calls one entry point through the C host; the status it returned, or -1.
  int call(const std::string& library, const std::string& name, std::vector<std::string> args,
           NamespaceRun* out = nullptr) {
    std::vector<std::string> words = {kHost, library, name};
    words.insert(words.end(), args.begin(), args.end());
    NamespaceRun result = run({words})[0];
    if (out) *out = result;
    EXPECT_EQ(result.status, 0) << result.standardError;
    std::size_t at = result.standardOutput.rfind("status=");
    return at == std::string::npos ? -1 : std::stoi(result.standardOutput.substr(at + 7));
  }

  static std::vector<std::vector<std::string>> journal(const BuiltInstance& target) {
    return rcpsim::readJournal((target.rcpHome.parent_path() / rcpsim::kJournalName).string())
        .value_or(std::vector<std::vector<std::string>>{});
  }

  static std::string sightings(const BuiltInstance& target) {
    std::ifstream in(target.rcpHome.parent_path() / rcpsim::kResultSightingsName);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }

  static std::optional<PlistValue> plist(const fs::path& path) {
    return platform::PropertyListFile::read(path.string());
  }

  static std::vector<std::string> addonIDs(const BuiltInstance& target) {
    std::vector<std::string> ids;
    std::optional<PlistValue> registry = plist(target.rcpHome / "addonInfo.plist");
    if (!registry || !registry->asDictionary()) return ids;
    for (const PlistValue& record : *registry->asDictionary()->at("addons").asArray()) {
      const PlistDictionary& fields = *record.asDictionary();
      ids.push_back(*fields.at("ID").asString() + "@" +
                    (fields.count("version") ? *fields.at("version").asString() : "-"));
    }
    return ids;
  }
};

TEST_F(UninstallersTest, EveryEntryPointIsFoundByItsExactName) {
  EXPECT_EQ(call(kAddonLibrary, "--check", {"RCPUninstallAddon", "RCPRemoveAddonRegistryOnly"}), 0);
  EXPECT_EQ(call(kHotfixLibrary, "--check",
                 {"RCP_UninstallHotfix", "RCPUninstallPeloraHotfix", "RCPUninstallHotfix"}),
            0);
}

TEST_F(UninstallersTest, AddonUninstallRunsTwoUpdatesThenRemovesTheRecord) {
  BuiltInstance target = instance("ok", {{"x.y", "1.0", std::nullopt}, {"a.b", "1.0", "uninstall.named.xml"}});
  putManifest(target, "uninstall.named.xml");
  const std::string location = target.installLocation.string();
  const std::optional<std::string> installed = bytesOf(target.rcpHome / "deploy/install.xml");
  std::ofstream(target.rcpHome.parent_path() / ".provisioning_rc") << "rc=0\n";  // an earlier run's

  NamespaceRun result;
  EXPECT_EQ(call(kAddonLibrary, "RCPUninstallAddon", {"ss", location, "a.b"}, &result), 0);

  EXPECT_THAT(journal(target), ElementsAre(kUpdateRun, kUpdateRun)) << "no cleanup run";
  EXPECT_EQ(sightings(target), "0\n1\n") << "deleted before the pair of runs only";
  expectBackupThenNewVersion(target, installed);
  EXPECT_FALSE(fs::exists(target.rcpHome / "eclipse/plugins" / kPlugin));
  EXPECT_FALSE(fs::exists(target.rcpHome / "deploy/uninstall.named.xml"));
  EXPECT_FALSE(fs::exists(target.rcpHome.parent_path() / ".provisioning_rc"));
  EXPECT_THAT(addonIDs(target), ElementsAre("x.y@1.0"));
  std::optional<std::string> log = result.fileText("/tmp/rcp_a.b_uninstall.log");
  ASSERT_TRUE(log);
  EXPECT_THAT(testing_support::logTexts(*log),
              ElementsAre("addon ID : a.b .", "Home location : " + location + "/rcp .",
                          "Checking unsupported characters.", "Checking target platform.",
                          "Checking whether platform is running.", "Checking installed addon : a.b .",
                          "Begin to uninstall addon: a.b", "Processing uninstall manifest.",
                          "Locating uninstall manifest " + location + "/rcp/deploy/uninstall.named.xml",
                          "Copying uninstall manifest.",
                          "Copying install manifest to " + location + "/rcp/deploy/install.update.xml. ",
                          "Starting provisioning system. ",
                          "Removing addon info.", "RCPUninstallAddon exits with 0"));
}

TEST_F(UninstallersTest, AddonRecordGoesEvenWhenTheProvisioningFails) {
  // No "uninstallManifest" in the record: the default name is used. Two records of the add-on:
  // only the first goes.
  BuiltInstance target = instance("fail", {{"a.b", "1.0", std::nullopt}, {"a.b", "2.0", std::nullopt}});
  putManifest(target, "uninstall.a.b.xml");
  ::setenv("RCPSIM_FORCE_RC", "1", 1);

  EXPECT_EQ(call(kAddonLibrary, "RCPUninstallAddon", {"ss", target.installLocation.string(), "a.b"}), 190);
  EXPECT_THAT(addonIDs(target), ElementsAre("a.b@2.0"));
  EXPECT_TRUE(fs::exists(target.rcpHome.parent_path() / ".provisioning_rc")) << "left for inspection";
}

TEST_F(UninstallersTest, AddonEntryPointsRefuseWithTheirStatuses) {
  BuiltInstance target = instance("refuse", {{"a.b", "1.0", "uninstall.a.b.xml"},
                                             {"noversion", std::nullopt, "uninstall.n.xml"},
                                             {"hostile", "1.0", "../../../../victim.xml"},
                                             {"folder", "1.0", "uninstall.folder.xml"}});
  fs::create_directory(target.rcpHome / "deploy/uninstall.folder.xml");
  std::ofstream(dir_.path() / "victim.xml") << "keep";
  BuiltInstance odd = instance("with#hash", {{"a.b", "1.0", "uninstall.a.b.xml"}});
  BuiltInstance empty = InstanceBuilder(dir_.path() / "empty").withoutInstallManifest().build();
  const std::string location = target.installLocation.string();
  struct Case {
    std::string name;
    std::vector<std::string> args;
    int status;
  };
  const std::vector<Case> cases = {
      {"no location", {"ss", "-", "a.b"}, 150},
      {"no add-on id", {"ss", location, "-"}, 199},
      {"no instance", {"ss", empty.installLocation.string(), "a.b"}, 150},
      {"unsupported character", {"ss", odd.installLocation.string(), "a.b"}, 155},
      {"not installed", {"ss", location, "z.z"}, 160},
      {"record without version", {"ss", location, "noversion"}, 160},
      {"manifest missing", {"ss", location, "a.b"}, 199},
      {"manifest named outside deploy", {"ss", location, "hostile"}, 199},
      {"manifest that cannot be staged", {"ss", location, "folder"}, 199},
  };
  for (const std::string entry : {"RCPUninstallAddon", "RCPRemoveAddonRegistryOnly"}) {
    for (const Case& c : cases) {
      if (entry == "RCPRemoveAddonRegistryOnly" && c.name.rfind("manifest", 0) == 0) continue;
      SCOPED_TRACE(entry + ": " + c.name);
      EXPECT_EQ(call(kAddonLibrary, entry, c.args), c.status);
    }
  }
  EXPECT_TRUE(fs::exists(dir_.path() / "victim.xml")) << "a record never names a file to delete";
  EXPECT_TRUE(journal(target).empty());

  auto running = RunningCopy::start("/bin/sleep", target.executable, {"1000"});
  ASSERT_TRUE(running);
  EXPECT_EQ(call(kAddonLibrary, "RCPUninstallAddon", {"ss", location, "a.b"}), 170);
  EXPECT_EQ(call(kAddonLibrary, "RCPRemoveAddonRegistryOnly", {"ss", location, "a.b"}), 170);
}

TEST_F(UninstallersTest, RegistryOnlyRemovalLeavesAddonsAlone) {
  BuiltInstance target = instance("registry", {{"a.b", "1.0", std::nullopt}, {"c.d", "1.0", std::nullopt}});
  PlistValue registry = *plist(target.rcpHome / "addonInfo.plist");
  (*registry.asDictionary())["other"] = PlistValue("dropped");
  ASSERT_FALSE(platform::PropertyListFile::write((target.rcpHome / "addonInfo.plist").string(), registry));

  EXPECT_EQ(call(kAddonLibrary, "RCPRemoveAddonRegistryOnly", {"ss", target.installLocation.string(), "a.b"}), 0);
  std::optional<PlistValue> after = plist(target.rcpHome / "addonInfo.plist");
  ASSERT_TRUE(after);
  EXPECT_EQ(after->asDictionary()->size(), 1u);
  EXPECT_THAT(addonIDs(target), ElementsAre("c.d@1.0"));
  EXPECT_TRUE(journal(target).empty()) << "the platform is not run";
}

TEST_F(UninstallersTest, PurgeAddonRecordTakesItsArgumentsInEitherOrderAndAlwaysExitsZero) {
  BuiltInstance target = instance("purge", {{"a.b", "1.0", std::nullopt}, {"c.d", "1.0", std::nullopt}});
  BuiltInstance empty = InstanceBuilder(dir_.path() / "purge-empty").withoutInstallManifest().build();
  BuiltInstance odd = instance("purge%odd");
  const std::string location = target.installLocation.string();
  // The exit status is always 0: the log's last two lines tell the outcome.
  struct Case {
    std::vector<std::string> args;
    std::string printed;
    std::string log;
    std::vector<std::string> outcome;
  };
  const std::string aLog = "/tmp/rcp_a.b_uninstall.log";
  const std::vector<Case> cases = {
      {{"-addonID", "a.b", "-rcphome", location}, "", aLog,
       {"Removed addon record : a.b .", "purgeAddonRecord status : 0 ."}},
      {{"-rcphome", location, "-addonID", "c.d", "extra"}, "", "/tmp/rcp_c.d_uninstall.log",
       {"Removed addon record : c.d .", "purgeAddonRecord status : 0 ."}},
      {{"-rcphome", location, "-addonID", "a.b"}, "Error:160: Fail to locate installed addon : a.b . \n", aLog,
       {"Fail to locate installed addon : a.b .", "purgeAddonRecord status : 160 ."}},
      {{"-rcphome", location}, "", "/tmp/rcp_addon_uninstall.log",
       {"No addon ID given: nothing removed.", "purgeAddonRecord status : 199 ."}},
      {{"-rcphome", empty.installLocation.string(), "-addonID", "a.b"},
       "Error:150: Fail to locate target platform. \n", aLog,
       {"Fail to locate target platform. ", "purgeAddonRecord status : 150 ."}},
      {{"-addonID", "a.b", "-rcphome", odd.installLocation.string()},
       "Error:155: The specified location contains unsupported characters. \n", aLog,
       {"The specified location contains unsupported characters.", "purgeAddonRecord status : 155 ."}},
      {{"-addonID", "a.b", "-rcphome"}, "Error:150: Fail to locate target platform. \n", aLog,
       {"Fail to locate target platform. ", "purgeAddonRecord status : 150 ."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    std::vector<std::string> words = {kPurge};
    words.insert(words.end(), c.args.begin(), c.args.end());
    NamespaceRun result = run({words})[0];
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.standardOutput, c.printed);
    std::optional<std::string> log = result.fileText(c.log);
    ASSERT_TRUE(log);
    std::vector<std::string> lines = testing_support::logTexts(*log);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_THAT(std::vector<std::string>(lines.end() - 2, lines.end()), ElementsAre(c.outcome[0], c.outcome[1]));
  }
  EXPECT_TRUE(addonIDs(target).empty());

  auto running = RunningCopy::start("/bin/sleep", target.executable, {"1000"});
  ASSERT_TRUE(running);
  NamespaceRun result = run({{kPurge, "-rcphome", location, "-addonID", "a.b"}})[0];
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.standardOutput, "Error:170: Platform is running. \n");
  EXPECT_THAT(result.fileText(aLog).value_or(""), HasSubstr("<Error>: purgeAddonRecord status : 170 ."));
}

TEST_F(UninstallersTest, HotfixRollbackThroughEachEntryPoint) {
  struct Case {
    std::string entry;
    std::vector<std::string> flag;
    std::string manifest;
  };
  const std::vector<Case> cases = {{"RCPUninstallPeloraHotfix", {}, "uninstall.pelorahotfix.xml"},
                                   {"RCPUninstallHotfix", {}, "uninstall.hotfix.xml"},
                                   {"RCP_UninstallHotfix", {"1"}, "uninstall.pelorahotfix.xml"},
                                   {"RCP_UninstallHotfix", {"0"}, "uninstall.hotfix.xml"}};
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry + " " + ::testing::PrintToString(c.flag));
    BuiltInstance target = instance("hotfix" + std::to_string(n++), {}, "3.0.1.1");
    putManifest(target, c.manifest);
    const std::optional<std::string> installed = bytesOf(target.rcpHome / "deploy/install.xml");
    std::ofstream(target.rcpHome.parent_path() / ".provisioning_rc") << "rc=0\n";  // an earlier run's
    std::vector<std::string> args = {c.flag.empty() ? "s" : "sb", target.installLocation.string()};
    args.insert(args.end(), c.flag.begin(), c.flag.end());

    NamespaceRun result;
    EXPECT_EQ(call(kHotfixLibrary, c.entry, args, &result), 0);
    EXPECT_THAT(result.standardOutput, HasSubstr("The provisioning operations have completed successfully.\n"));
    EXPECT_THAT(journal(target), ElementsAre(kUpdateRun, kUpdateRun, kCleanupRun));
    EXPECT_EQ(sightings(target), "0\n1\n0\n") << "deleted before the pair of runs and before the cleanup";
    expectBackupThenNewVersion(target, installed);
    EXPECT_FALSE(fs::exists(target.rcpHome / "eclipse/plugins" / kPlugin));
    EXPECT_FALSE(fs::exists(target.rcpHome / "deploy" / c.manifest));
    std::optional<PlistValue> info = plist(target.rcpHome / "installInfo.plist");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->asDictionary()->count("hotfixVersion"), 0u);

    EXPECT_EQ(call(kHotfixLibrary, c.entry, args, &result), 190) << "the manifest is gone";
    EXPECT_THAT(result.standardOutput, HasSubstr("File " + (target.rcpHome / "deploy" / c.manifest).string() +
                                                 " not found. Provisioning process failed to launch or was "
                                                 "terminated before status could be determined.\n"));
  }
}

TEST_F(UninstallersTest, HotfixEntryPointsRefuseWithTheirStatuses) {
  BuiltInstance target = instance("refuse", {}, "1");
  BuiltInstance empty = InstanceBuilder(dir_.path() / "empty").withoutInstallManifest().build();
  BuiltInstance odd = instance("odd'quote", {}, "1");
  fs::create_directories(dir_.path() / "plain/rcp/deploy");
  std::ofstream(dir_.path() / "plain/rcp/deploy/install.xml") << "<manifest/>";
  EXPECT_EQ(call(kHotfixLibrary, "RCPUninstallPeloraHotfix", {"s", "-"}), 150);
  EXPECT_EQ(call(kHotfixLibrary, "RCPUninstallPeloraHotfix", {"s", (dir_.path() / "none").string()}), 150);
  EXPECT_EQ(call(kHotfixLibrary, "RCPUninstallPeloraHotfix", {"s", empty.installLocation.string()}), 150);
  EXPECT_EQ(call(kHotfixLibrary, "RCPUninstallPeloraHotfix", {"s", odd.installLocation.string()}), 155);
  EXPECT_EQ(call(kHotfixLibrary, "RCPUninstallPeloraHotfix", {"s", (dir_.path() / "plain").string()}), 1);

  auto running = RunningCopy::start("/bin/sleep", target.executable, {"1000"});
  ASSERT_TRUE(running);
  EXPECT_EQ(call(kHotfixLibrary, "RCPUninstallHotfix", {"s", target.installLocation.string()}), 170);
  running->stop();

  // An uninstall manifest that cannot be staged (a folder, or one naming an external entity the
  // launcher might fetch as root) is reported by the staged file's name; nothing runs and
  // nothing changes.
  for (const bool folder : {true, false}) {
    SCOPED_TRACE(folder ? "a folder" : "an external entity");
    const fs::path manifest = target.rcpHome / "deploy/uninstall.hotfix.xml";
    if (folder) {
      fs::create_directory(manifest);
    } else {
      std::ofstream(manifest) << "<!DOCTYPE manifest [<!ENTITY x SYSTEM \"file:///etc/shadow\">]>\n"
                              << uninstallManifest();
    }
    NamespaceRun unstaged;
    EXPECT_EQ(call(kHotfixLibrary, "RCPUninstallHotfix", {"s", target.installLocation.string()}, &unstaged), 190);
    EXPECT_EQ(unstaged.standardOutput.substr(0, unstaged.standardOutput.rfind("status=")),
              "File install.update.xml not found. Provisioning process failed to launch or was terminated "
              "before status could be determined.\n");
    EXPECT_TRUE(journal(target).empty());
    EXPECT_FALSE(fs::exists(target.rcpHome / "deploy" / ("install." + std::string(kOldVersion) + ".xml")))
        << "nothing is backed up for a rollback that cannot start";
    fs::remove(manifest);
  }

  // A failed rollback still clears the recorded hotfix version.
  putManifest(target, "uninstall.hotfix.xml");
  ::setenv("RCPSIM_FORCE_RC", "1", 1);
  NamespaceRun result;
  EXPECT_EQ(call(kHotfixLibrary, "RCPUninstallHotfix", {"s", target.installLocation.string()}, &result), 190);
  EXPECT_THAT(result.standardOutput,
              HasSubstr("Unexpected results have occurred during the provisioning operation.For additional "
                        "information, please refer to the logs.\n"));
  EXPECT_EQ(plist(target.rcpHome / "installInfo.plist")->asDictionary()->count("hotfixVersion"), 0u);
  EXPECT_THAT(journal(target), ElementsAre(kUpdateRun, kUpdateRun)) << "no cleanup after a failure";
}

TEST_F(UninstallersTest, HotfixProgramFindsItsLocationAndPrintsErrorLines) {
  BuiltInstance target = instance("program", {}, "1");
  const std::string location = target.installLocation.string();

  NamespaceRun ok = run({{kHotfixProgram, "ignored", "-rcphome", location}})[0];
  EXPECT_EQ(ok.status, 190) << "no uninstall manifest";
  EXPECT_EQ(ok.standardOutput,
            "File " + location + "/rcp/deploy/uninstall.pelorahotfix.xml not found. Provisioning process "
            "failed to launch or was terminated before status could be determined.\n"
            "Error:190: Unstall provisioning fails.\n");

  BuiltInstance empty = InstanceBuilder(dir_.path() / "empty").withoutInstallManifest().build();
  NamespaceRun missing = run({{kHotfixProgram, "-rcphome", empty.installLocation.string()}})[0];
  EXPECT_EQ(missing.status, 150);
  EXPECT_EQ(missing.standardOutput, "Error:150: Fail to locate target platform. \n");

  // "-rcphome" last is ignored: nothing registered and no default location.
  NamespaceRun nowhere = run({{kHotfixProgram, "-rcphome"}})[0];
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_EQ(nowhere.standardOutput,
            "RCP home of Tallo installation cannot be determined! \n"
            "Usage: peloraHotfixUninstall -rcphome <absolute pathToRcphome>\n");

  // The register file names the instance.
  putManifest(target, "uninstall.pelorahotfix.xml");
  PlistValue registerFile(PlistDictionary{{"oldInstallLocation", PlistValue(location)}});
  const std::string registerPath = (dir_.path() / "framework.plist").string();
  ASSERT_FALSE(platform::PropertyListFile::write(registerPath, registerFile));
  std::vector<NamespaceRun> registered =
      run({{"/bin/mkdir", "-p", "/Library/Application Support/Ostra/Tallo"},
           {"/bin/cp", registerPath, "/Library/Application Support/Ostra/Tallo/framework.plist"},
           {kHotfixProgram, "-rcphome"}});
  EXPECT_EQ(registered[2].status, 0);
  EXPECT_EQ(registered[2].standardOutput, "The provisioning operations have completed successfully.\n");

  // Without a register file the default location is used.
  BuiltInstance fallback = instance("fallback", {}, "1");
  putManifest(fallback, "uninstall.pelorahotfix.xml");
  std::vector<NamespaceRun> byDefault =
      run({{"/bin/cp", "-a", fallback.bundle.string(), "/Applications/Tallo.app"},
           {kHotfixProgram},
           {"/bin/ls", "/Applications/Tallo.app/Contents/MacOS/rcp/deploy"}});
  EXPECT_EQ(byDefault[1].status, 0) << byDefault[1].standardOutput;
  EXPECT_THAT(byDefault[2].standardOutput, Not(HasSubstr("uninstall.pelorahotfix.xml")));
}

// With the trace switch on in the user's preferences, the program's log lines go to the trace
// file: every step of a successful rollback, and no failure among them.
TEST_F(UninstallersTest, HotfixProgramTracesASuccessfulRollback) {
  BuiltInstance target = instance("traced", {}, "1");
  putManifest(target, "uninstall.pelorahotfix.xml");
  const std::string location = target.installLocation.string();
  PlistValue preferences(PlistDictionary{{"com.norq.rcp.install.mac.traceEnable", PlistValue(true)}});
  NamespaceRun result = PrivateNamespace(dir_.path() / "ns-traced")
                            .privateFolder("/root")
                            .makeFolder("/root/Library/Preferences")
                            .plantFile("/root/Library/Preferences/com.norq.rcp.install.mac.plist",
                                       platform::PropertyListFile::toXml(preferences))
                            .run({{kHotfixProgram, "-rcphome", location}})[0];
  ASSERT_EQ(result.status, 0) << result.standardOutput << result.standardError;
  std::optional<std::string> trace = result.fileText("/tmp/install_trace.log");
  ASSERT_TRUE(trace);
  EXPECT_THAT(testing_support::logTexts(*trace),
              ElementsAre("RCP Home : " + location + " .", "Checking unsupported characters.",
                          "Checking target platform. ", "Checking whether platform is running.",
                          "Removing hotfix.",
                          "Copying install manifest to " + location + "/rcp/deploy/install.update.xml. ",
                          "Launching platform to uninstall provisioned features...",
                          "Begin to start provisoning system to cleanup features",
                          "peloraHotfixUninstall exits with 0"));
}

TEST_F(UninstallersTest, HotfixProgramWithoutRootRightsTouchesNothing) {
  BuiltInstance target = instance("user", {}, "1");
  putManifest(target, "uninstall.pelorahotfix.xml");
  NamespaceRun result = run({{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                              kHotfixProgram, "-rcphome", target.installLocation.string()}})[0];
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.standardOutput,
            "Failed to uninstall this package. Permission denied. To retry the work, please make sure you "
            "belong to admin group and execute this command as root.\nUsage: sudo ./peloraHotfixUninstall\n");
  EXPECT_TRUE(fs::exists(target.rcpHome / "deploy/uninstall.pelorahotfix.xml"));
  EXPECT_TRUE(journal(target).empty());
}

// A launcher run that did not exit on its own fails the uninstall whatever result file the runs
// left; the hotfix rollback can then be repeated, as its uninstall manifest stays.
TEST_F(UninstallersTest, ALauncherThatDiesFailsBothUninstallers) {
  // Either of the two update runs, or the hotfix's cleanup run (its third run), dies.
  struct Kill {
    const char* variable;
    const char* value;
  };
  for (const Kill& kill : {Kill{"RCPSIM_KILL_RUN", "1"}, Kill{"RCPSIM_KILL_RUN", "2"}}) {
    SCOPED_TRACE(std::string("add-on, run ") + kill.value);
    BuiltInstance addon = instance(std::string("killed-addon-") + kill.value, {{"a.b", "1.0", "uninstall.a.b.xml"}});
    putManifest(addon, "uninstall.a.b.xml");
    ::setenv(kill.variable, kill.value, 1);
    NamespaceRun result;
    EXPECT_EQ(call(kAddonLibrary, "RCPUninstallAddon", {"ss", addon.installLocation.string(), "a.b"}, &result), 190);
    ::unsetenv(kill.variable);
    std::optional<std::string> log = result.fileText("/tmp/rcp_a.b_uninstall.log");
    ASSERT_TRUE(log);
    EXPECT_THAT(testing_support::logTexts(*log),
                Contains("Fail to launch " + (addon.rcpHome / "rcplauncher").string() + " or it did not exit normally."));
  }

  for (const Kill& kill : {Kill{"RCPSIM_KILL_RUN", "1"}, Kill{"RCPSIM_KILL_RUN", "2"}, Kill{"RCPSIM_KILL_IN", "cleanup"}}) {
    SCOPED_TRACE(std::string("hotfix, ") + kill.value);
    BuiltInstance hotfix = instance(std::string("killed-hotfix-") + kill.value, {}, "1");
    putManifest(hotfix, "uninstall.pelorahotfix.xml");
    ::setenv(kill.variable, kill.value, 1);
    NamespaceRun killed = run({{kHotfixProgram, "-rcphome", hotfix.installLocation.string()}})[0];
    EXPECT_EQ(killed.status, 190);
    EXPECT_EQ(killed.standardOutput,
              "Unexpected results have occurred during the provisioning operation.For additional information, "
              "please refer to the logs.\nError:190: Unstall provisioning fails.\n");
    EXPECT_TRUE(fs::exists(hotfix.rcpHome / "deploy/uninstall.pelorahotfix.xml"));

    ::unsetenv(kill.variable);
    NamespaceRun again = run({{kHotfixProgram, "-rcphome", hotfix.installLocation.string()}})[0];
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.standardOutput, "The provisioning operations have completed successfully.\n");
    EXPECT_FALSE(fs::exists(hotfix.rcpHome / "deploy/uninstall.pelorahotfix.xml"));
  }
}

// A registry holding a value the XML form cannot carry (read from the text form) cannot be
// written back: the record stays, the file is unchanged and the failure is reported.
TEST_F(UninstallersTest, ARegistryThatCannotBeWrittenBackFailsTheRecordRemoval) {
  const std::string registryText =
      "{ addons = ( { ID = \"a.b\"; version = \"1.0\"; uninstallManifest = \"uninstall.a.b.xml\"; },"
      " { ID = \"x.y\"; version = \"1\\U0001\"; } ); }";
  BuiltInstance target = instance("unwritable");
  const fs::path registry = target.rcpHome / "addonInfo.plist";
  std::ofstream(registry, std::ios::trunc) << registryText;
  putManifest(target, "uninstall.a.b.xml");

  NamespaceRun purge = run({{kPurge, "-rcphome", target.installLocation.string(), "-addonID", "a.b"}})[0];
  EXPECT_EQ(purge.status, 0);
  EXPECT_EQ(purge.standardOutput, "Error:190: Fail to remove addon record : a.b . \n");
  EXPECT_THAT(testing_support::logTexts(purge.fileText("/tmp/rcp_a.b_uninstall.log").value_or("")),
              ElementsAre("Removing addon record : a.b under " + target.installLocation.string() + " .",
                          "Fail to write " + registry.string() + " (Invalid argument).",
                          "Fail to remove addon record : a.b .", "purgeAddonRecord status : 190 ."));

  NamespaceRun result;
  EXPECT_EQ(call(kAddonLibrary, "RCPUninstallAddon", {"ss", target.installLocation.string(), "a.b"}, &result), 190);
  std::optional<std::string> log = result.fileText("/tmp/rcp_a.b_uninstall.log");
  ASSERT_TRUE(log);
  EXPECT_THAT(testing_support::logTexts(*log),
              Contains("Fail to write " + registry.string() + " (Invalid argument)."));
  std::ifstream in(registry);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), registryText);

  // One that cannot be read stops the uninstall before anything changes, and is named in the log.
  std::ofstream(registry, std::ios::trunc) << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>";
  putManifest(target, "uninstall.a.b.xml");
  const std::size_t runs = journal(target).size();
  EXPECT_EQ(call(kAddonLibrary, "RCPUninstallAddon", {"ss", target.installLocation.string(), "a.b"}, &result), 190);
  EXPECT_TRUE(fs::exists(target.rcpHome / "deploy/uninstall.a.b.xml")) << "nothing staged";
  EXPECT_EQ(journal(target).size(), runs) << "no launcher run";
  log = result.fileText("/tmp/rcp_a.b_uninstall.log");
  ASSERT_TRUE(log);
  EXPECT_THAT(testing_support::logTexts(*log),
              Contains("Fail to read " + registry.string() + ". It is left unchanged."));
}

// While another run holds the instance, the uninstallers wait the bounded time, then change
// nothing and fail; the held lock is the test's own, so no timing decides the outcome.
TEST_F(UninstallersTest, AnInstanceAnotherRunHoldsIsLeftAsItIs) {
  BuiltInstance target = instance("held", {{"a.b", "1.0", "uninstall.a.b.xml"}}, "1");
  putManifest(target, "uninstall.pelorahotfix.xml");
  const std::string registry = bytesOf(target.rcpHome / "addonInfo.plist").value_or("");
  platform::UniqueFd holder(::open(target.rcpHome.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_EQ(::flock(holder.get(), LOCK_EX), 0);
  const std::string location = target.installLocation.string();

  const std::vector<NamespaceRun> runs = run({{kHotfixProgram, "-rcphome", location},
                                              {kPurge, "-rcphome", location, "-addonID", "a.b"}});

  EXPECT_EQ(runs[0].status, 190);
  EXPECT_EQ(runs[0].standardOutput, "Error:190: Unstall provisioning fails.\n");
  EXPECT_EQ(runs[1].standardOutput, "Error:190: Fail to remove addon record : a.b . \n");
  EXPECT_TRUE(journal(target).empty());
  EXPECT_TRUE(fs::exists(target.rcpHome / "deploy/uninstall.pelorahotfix.xml"));
  EXPECT_EQ(bytesOf(target.rcpHome / "addonInfo.plist").value_or(""), registry);
}

// The instance's owner swaps "deploy" for a link to a folder of root's as soon as the add-on's
// uninstall manifest is staged, or once the hotfix rollback's launcher has run (when the hotfix
// record is rewritten): the manifest then removed is never the file of that name behind the link.
TEST_F(UninstallersTest, ADeployFolderSwappedForALinkMidRunRemovesNothingOfRoots) {
  RCP_WITH_TEST_USER(user);
  struct Case {
    std::string library, entry, manifest;
    bool takesAddonID;
    std::string watched, trigger;  // a folder of the rcp home; part of the name whose open swaps
  };
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);  // the owner reaches their instance
  for (const Case& c : {Case{kAddonLibrary, "RCPUninstallAddon", "uninstall.a.b.xml", true, "deploy", "install.update.xml."},
                        Case{kHotfixLibrary, "RCPUninstallHotfix", "uninstall.hotfix.xml", false, ".",
                             "installInfo.plist.tmp-rcp-"}}) {
    SCOPED_TRACE(c.entry);
    BuiltInstance target = instance("swap" + c.entry, {{"a.b", "1.0", std::nullopt}}, "1");
    putManifest(target, c.manifest);
    const std::string owner = std::to_string(user.uid) + ":" + std::to_string(user.gid);
    ASSERT_EQ(std::system(("chown -hR " + owner + " '" + target.bundle.string() + "'").c_str()), 0);
    const fs::path roots = dir_.path() / ("roots" + c.entry);
    fs::create_directories(roots);
    RootVictim victim(roots / c.manifest);
    const fs::path deploy = target.rcpHome / "deploy";
    testing_support::OpenPause pause(
        target.rcpHome / c.watched, [&](const std::string& name) { return name.find(c.trigger) != std::string::npos; },
        [&] {
          testing_support::onceAsUser(user.uid, [&] { return testing_support::swapForLink(deploy, roots, ".real"); });
        });
    if (!pause.watching()) GTEST_SKIP() << "no fanotify permission events here";

    std::vector<std::string> args = {c.takesAddonID ? "ss" : "s", target.installLocation.string()};
    if (c.takesAddonID) args.push_back("a.b");
    call(c.library, c.entry, args);

    ASSERT_TRUE(pause.fired());
    ASSERT_TRUE(fs::is_symlink(deploy));
    EXPECT_TRUE(victim.intact());
    EXPECT_TRUE(fs::is_regular_file(deploy.string() + ".real/" + c.manifest)) << "kept, as it cannot be reached";
  }
}

}  // namespace
