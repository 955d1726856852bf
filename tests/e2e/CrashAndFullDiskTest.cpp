// The records of an instance survive a program or launcher killed at any moment and a disk that
// is full when they are written back. The whole test runs in a private mount namespace with a
// fresh /tmp; the instances lie on a tmpfs mounted over their folder, a small one for a full disk.
//
// Crash loops: each iteration builds the instance anew, starts the program in its own process
// group, kills it (with its launcher, or alone, leaving the launcher to finish) with SIGKILL
// after a seeded delay, and checks that every record is the old one or the new one and
// readable; then it runs the program once more to the end and checks that this run succeeds and
// that no temporary file is left. No check depends on when the kill landed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "common/FileHelpers.h"
#include "common/AddonPackageBuilder.h"
#include "common/EndToEndTest.h"
#include "common/InstanceBuilder.h"
#include "common/PrivateNamespace.h"
#include "common/TempDir.h"
#include "installer/formats/JavaProperties.h"
#include "platform/PropertyListFile.h"
#include "tools/rcplauncher-sim/DiskFiller.h"

extern char** environ;

namespace {

using testing_support::readWholeFile;

namespace fs = std::filesystem;
using platform::PlistArray;
using platform::PlistDictionary;
using platform::PlistValue;
using testing_support::addonManifest;
using testing_support::AddonPackageBuilder;
using testing_support::AddonRecord;
using testing_support::BuiltInstance;
using testing_support::InstanceBuilder;
using ::testing::Contains;

const std::string kPostflight = POSTFLIGHT_ADDON;
const std::string kHotfix = PELORA_HOTFIX_UNINSTALL;
const std::string kPurge = PURGE_ADDON_RECORD;
constexpr const char* kInstallLog = "/tmp/rcp_a.b_install.log";
constexpr const char* kStore = "/tmp/com.norq.rcp.platform.internal.configuration";
constexpr const char* kOldSettings = "rcp.data=/Users/someone/data\nprovisioning.manifest.version=0000000001\n";

PlistValue record(const std::string& id) {
  return PlistValue(PlistDictionary{{"ID", PlistValue(id)}, {"uninstallManifest", PlistValue("uninstall." + id + ".xml")},
                                    {"version", PlistValue("1.0")}});
}

PlistValue registryOf(std::vector<PlistValue> records) {
  return PlistValue(PlistDictionary{{"addons", PlistValue(PlistArray(std::move(records)))}});
}

// Every file below the folders whose name marks it as a temporary of an atomic replacement.
std::vector<std::string> temporariesBelow(const std::vector<fs::path>& folders) {
  std::vector<std::string> found;
  for (const fs::path& folder : folders) {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
      if (it->path().filename().string().find(".tmp-") != std::string::npos) found.push_back(it->path().string());
    }
  }
  return found;
}

// A program started in its own process group, its output in a file.
struct Started {
  pid_t pid = -1;
};

Started startInOwnGroup(const std::vector<std::string>& argv, const fs::path& output) {
  std::vector<char*> pointers;
  for (const std::string& word : argv) pointers.push_back(const_cast<char*>(word.c_str()));
  pointers.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  Started started;
  if (::posix_spawn(&started.pid, argv[0].c_str(), &actions, &attributes, pointers.data(), environ) != 0) {
    started.pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return started;
}

// Waits for every child and every orphaned launcher (this process is their subreaper).
void reapEverything() {
  int status = 0;
  while (::waitpid(-1, &status, 0) > 0 || errno == EINTR) {
  }
}

struct Finished {
  int status = -1;  // exit status, -1 when killed
  std::string output;
};

Finished runToTheEnd(const std::vector<std::string>& argv, const fs::path& output) {
  Started started = startInOwnGroup(argv, output);
  Finished finished;
  int status = 0;
  while (::waitpid(started.pid, &status, 0) < 0 && errno == EINTR) {
  }
  reapEverything();
  if (WIFEXITED(status)) finished.status = WEXITSTATUS(status);
  finished.output = readWholeFile(output);
  return finished;
}

// One program's crash loop: how to build the instance, what to run, and the checks.
struct CrashScenario {
  std::function<void()> prepare;
  std::vector<std::string> command;
  std::function<void()> checkAfterKill;                 // every record old or new, readable
  std::function<void(const Finished&)> checkNextRun;    // the run that follows succeeds
  std::vector<fs::path> folders;                        // searched for temporaries
};

class CrashAndFullDiskTest : public testing_support::EndToEndTest {
 protected:
  void SetUp() override {
    resetLauncherSwitches();
    ::setenv("USER", "root", 1);
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    offerAddonPlugin(dir_.path());
    package_ = addonPackageWithManifests(dir_.path() / "media").build().package;
  }

  // The folder that holds the instances; a small tmpfs when the disk is to be full.
  fs::path destination() const { return dir_.path() / "disk/Applications"; }

  void TearDown() override {
    if (mounted_) ::umount2((dir_.path() / "disk").c_str(), MNT_DETACH);
  }

  // A tmpfs over the instances' folder: 16 MiB holds an instance with the sanitizer build's
  // launcher (over 4 MiB) and is filled quickly; the crash loops use a larger
  // one only because writes there cost no disk flushes.
  void mountDisk(const std::string& size = "16m") {
    fs::create_directories(dir_.path() / "disk");
    ASSERT_EQ(::mount("tmpfs", (dir_.path() / "disk").c_str(), "tmpfs", 0, ("size=" + size + ",mode=755").c_str()), 0)
        << std::strerror(errno);
    mounted_ = true;
  }

  BuiltInstance instance(std::vector<AddonRecord> records, std::optional<std::string> hotfix = std::nullopt) const {
    fs::remove_all(destination());
    InstanceBuilder builder(destination());
    builder.launcher(RCPLAUNCHER_SIM_PATH);
    for (AddonRecord& one : records) builder.addonRecord(std::move(one));
    if (hotfix) builder.hotfixVersion(*hotfix);
    BuiltInstance built = builder.build();
    std::ofstream(built.rcpHome / "rcplauncher.properties") << kOldSettings;
    return built;
  }

  static void expectRecord(const fs::path& path, const std::vector<PlistValue>& oldOrNew) {
    std::optional<PlistValue> value = platform::PropertyListFile::read(path.string());
    ASSERT_TRUE(value) << path << " is no readable property list:\n" << readWholeFile(path);
    EXPECT_NE(std::find(oldOrNew.begin(), oldOrNew.end(), *value), oldOrNew.end())
        << path << " is neither the old nor the new record:\n" << platform::PropertyListFile::toXml(*value);
  }

  // The settings keep every key; the manifest version is the old one or a new one.
  static void expectSettingsWhole(const fs::path& path) {
    support::JavaProperties settings(path.string());
    EXPECT_EQ(settings.getPropertyForKey("rcp.data"), "/Users/someone/data") << readWholeFile(path);
    std::string version = settings.getPropertyForKey("provisioning.manifest.version").value_or("");
    EXPECT_TRUE(std::regex_match(version, std::regex("\\d{10}"))) << readWholeFile(path);
  }

  static void expectStoreReadableIfThere() {
    if (fs::exists(kStore)) {
      EXPECT_TRUE(platform::PropertyListFile::read(kStore)) << readWholeFile(kStore);
    }
  }

  // Runs the loop; the seed comes from RCP_CRASH_SEED when set, else from the machine.
  void crashLoop(const CrashScenario& scenario, int iterations) {
    const char* given = std::getenv("RCP_CRASH_SEED");
    const unsigned seed = given ? static_cast<unsigned>(std::strtoul(given, nullptr, 10)) : std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed) + " (RCP_CRASH_SEED=" + std::to_string(seed) + " repeats it)");
    std::mt19937 random(seed);
    const fs::path output = dir_.path() / "output";
    mountDisk("64m");

    // The delays spread over one whole run; how long that takes does not affect any check.
    scenario.prepare();
    auto begin = std::chrono::steady_clock::now();
    runToTheEnd(scenario.command, output);
    auto runLength = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begin);
    std::uniform_int_distribution<long> delay(0, runLength.count() + runLength.count() / 5);

    for (int i = 0; i < iterations && !HasFailure(); ++i) {
      SCOPED_TRACE("iteration " + std::to_string(i));
      scenario.prepare();
      const bool launcherGoesOn = random() % 3 == 0;  // kill the program alone
      const long wait = delay(random);
      Started started = startInOwnGroup(scenario.command, output);
      ASSERT_GT(started.pid, 0);
      std::this_thread::sleep_for(std::chrono::microseconds(wait));
      ::kill(launcherGoesOn ? started.pid : -started.pid, SIGKILL);
      reapEverything();
      scenario.checkAfterKill();

      Finished next = runToTheEnd(scenario.command, output);
      scenario.checkNextRun(next);
      EXPECT_THAT(temporariesBelow(scenario.folders), ::testing::IsEmpty());
    }
  }

  fs::path package_;
  bool mounted_ = false;
};

TEST_F(CrashAndFullDiskTest, PostflightAddonKilledAtAnyMoment) {
  const PlistValue before = registryOf({record("x.y")});
  const PlistValue after = registryOf({record("x.y"), record("a.b")});
  BuiltInstance target;
  CrashScenario scenario{
      [&] { target = instance({{"x.y", "1.0", "uninstall.x.y.xml"}}); },
      {kPostflight, package_.string(), destination().string(), "", "", ""},
      [&] {
        expectRecord(target.rcpHome / "addonInfo.plist", {before, after});
        expectSettingsWhole(target.rcpHome / "rcplauncher.properties");
        expectStoreReadableIfThere();
      },
      [&](const Finished& next) {
        EXPECT_EQ(next.status, 0) << next.output;
        expectRecord(target.rcpHome / "addonInfo.plist", {after});
        expectSettingsWhole(target.rcpHome / "rcplauncher.properties");
      },
      {destination(), "/tmp"}};
  crashLoop(scenario, 60);
}

TEST_F(CrashAndFullDiskTest, HotfixUninstallKilledAtAnyMoment) {
  const PlistValue before(PlistDictionary{{"version", PlistValue("3.0.1")}, {"hotfixVersion", PlistValue("1")}});
  const PlistValue after(PlistDictionary{{"version", PlistValue("3.0.1")}});
  BuiltInstance target;
  bool rollbackDone = false;
  CrashScenario scenario{
      [&] {
        target = instance({}, "1");
        std::ofstream(target.rcpHome / "deploy/uninstall.pelorahotfix.xml") << addonManifest("uninstall");
      },
      {kHotfix, "-rcphome", (destination() / "Tallo.app/Contents/MacOS").string()},
      [&] {
        expectRecord(target.rcpHome / "installInfo.plist", {before, after});
        expectSettingsWhole(target.rcpHome / "rcplauncher.properties");
        // The manifest goes only once the rollback has been carried out and recorded.
        rollbackDone = !fs::exists(target.rcpHome / "deploy/uninstall.pelorahotfix.xml");
        if (rollbackDone) {
          expectRecord(target.rcpHome / "installInfo.plist", {after});
        }
      },
      [&](const Finished& next) {
        if (rollbackDone) {
          EXPECT_EQ(next.status, 190) << "a finished rollback cannot be repeated";
        } else {
          EXPECT_EQ(next.status, 0) << next.output;
          EXPECT_EQ(next.output, "The provisioning operations have completed successfully.\n");
        }
        expectRecord(target.rcpHome / "installInfo.plist", {after});
      },
      {destination(), "/tmp"}};
  crashLoop(scenario, 60);
}

TEST_F(CrashAndFullDiskTest, PurgeAddonRecordKilledAtAnyMoment) {
  const PlistValue before = registryOf({record("a.b"), record("x.y")});
  const PlistValue after = registryOf({record("x.y")});
  BuiltInstance target;
  CrashScenario scenario{
      [&] { target = instance({{"a.b", "1.0", "uninstall.a.b.xml"}, {"x.y", "1.0", "uninstall.x.y.xml"}}); },
      {kPurge, "-rcphome", (destination() / "Tallo.app/Contents/MacOS").string(), "-addonID", "a.b"},
      [&] { expectRecord(target.rcpHome / "addonInfo.plist", {before, after}); },
      [&](const Finished& next) {
        EXPECT_EQ(next.status, 0);
        EXPECT_THAT(next.output, ::testing::AnyOf("", "Error:160: Fail to locate installed addon : a.b . \n"));
        expectRecord(target.rcpHome / "addonInfo.plist", {after});
      },
      {destination(), "/tmp"}};
  crashLoop(scenario, 80);
}

// Full from the start, the manifest cannot be staged; filled by the launcher once its result is
// written, the registry cannot be written back.
TEST_F(CrashAndFullDiskTest, PostflightAddonOnAFullDisk) {
  mountDisk();
  BuiltInstance target = instance({{"x.y", "1.0", "uninstall.x.y.xml"}});
  const fs::path registry = target.rcpHome / "addonInfo.plist";
  const std::string old = readWholeFile(registry);
  const std::vector<std::string> command = {kPostflight, package_.string(), destination().string(), "", "", ""};

  ASSERT_TRUE(rcpsim::fillFileSystem(target.installLocation.string()));
  Finished fullAtStart = runToTheEnd(command, dir_.path() / "output");
  EXPECT_EQ(fullAtStart.status, 199);
  EXPECT_THAT(testing_support::logTexts(readWholeFile(kInstallLog)), Contains(" Fail to copy install manifest. "));
  EXPECT_THAT(temporariesBelow({destination(), "/tmp"}), ::testing::IsEmpty());

  rcpsim::freeFileSystem(target.installLocation.string());
  ::setenv("RCPSIM_FILL_DISK", "1", 1);
  Finished fullAfterLaunch = runToTheEnd(command, dir_.path() / "output");

  EXPECT_EQ(fullAfterLaunch.status, 190);
  EXPECT_EQ(readWholeFile(registry), old);
  EXPECT_THAT(temporariesBelow({destination(), "/tmp"}), ::testing::IsEmpty());
  EXPECT_THAT(testing_support::logTexts(readWholeFile(kInstallLog)),
              Contains("Fail to write " + registry.string() + " (No space left on device)."));
}

// Key stores and extras too large for the disk: each copy fails, keeps the old file and says
// why; no temporary is left and the run ends with 190.
TEST_F(CrashAndFullDiskTest, PostflightAddonCopiesThatDoNotFitKeepTheOldFiles) {
  mountDisk();
  BuiltInstance target = instance({});
  const std::string oldBig(6u << 20, 'o');
  std::ofstream(target.rcpHome / "deploy/.keystore") << "old keys";
  std::ofstream(target.rcpHome / "deploy/.keystore.bak") << "older keys";  // the package brings none
  fs::create_directories(target.rcpHome / "deploy/extras");
  std::ofstream(target.rcpHome / "deploy/extras/big.bin") << oldBig;
  fs::create_directories(dir_.path() / "media-large/deploy/extras");
  const fs::path pkg = addonPackageWithManifests(dir_.path() / "media-large")
                           .deployFile(".keystore", std::string(12u << 20, 'k'))
                           .deployFile("extras/big.bin", std::string(20u << 20, 'n'))
                           .build()
                           .package;

  Finished finished = runToTheEnd({kPostflight, pkg.string(), destination().string(), "", "", ""},
                                  dir_.path() / "output");

  EXPECT_EQ(finished.status, 190);
  EXPECT_EQ(readWholeFile(target.rcpHome / "deploy/.keystore"), "old keys");
  EXPECT_EQ(readWholeFile(target.rcpHome / "deploy/.keystore.bak"), "older keys");
  EXPECT_TRUE(readWholeFile(target.rcpHome / "deploy/extras/big.bin") == oldBig);
  const std::vector<std::string> lines = testing_support::logTexts(readWholeFile(kInstallLog));
  EXPECT_THAT(lines, Contains("Fail to copy keystore file " + pkg.string() + "/../deploy/.keystore to " +
                              (target.rcpHome / "deploy/.keystore").string() + ": No space left on device."));
  EXPECT_THAT(lines, Contains("Fail to copy " + (target.rcpHome / "deploy/extras/big.bin").string() +
                              ": No space left on device."));
  for (const auto& entry : fs::recursive_directory_iterator(target.rcpHome / "deploy")) {
    EXPECT_EQ(entry.path().filename().string().find(".copy-rcp-"), std::string::npos) << entry.path();
  }
}

// The hotfix record cannot be cleared: no success line, and the rollback can be run again.
TEST_F(CrashAndFullDiskTest, HotfixUninstallOnAFullDisk) {
  mountDisk();
  BuiltInstance target = instance({}, "1");
  std::ofstream(target.rcpHome / "deploy/uninstall.pelorahotfix.xml") << addonManifest("uninstall");
  const fs::path installInfo = target.rcpHome / "installInfo.plist";
  const std::string old = readWholeFile(installInfo);
  const std::vector<std::string> command = {kHotfix, "-rcphome", target.installLocation.string()};
  ::setenv("RCPSIM_FILL_DISK", "1", 1);

  Finished full = runToTheEnd(command, dir_.path() / "output");

  EXPECT_EQ(full.status, 190);
  EXPECT_EQ(full.output, "Fail to write " + installInfo.string() + ".\nError:190: Unstall provisioning fails.\n");
  EXPECT_EQ(readWholeFile(installInfo), old);
  EXPECT_TRUE(fs::exists(target.rcpHome / "deploy/uninstall.pelorahotfix.xml"));
  EXPECT_THAT(temporariesBelow({destination(), "/tmp"}), ::testing::IsEmpty());

  ::unsetenv("RCPSIM_FILL_DISK");
  rcpsim::freeFileSystem(target.installLocation.string());
  Finished again = runToTheEnd(command, dir_.path() / "output");
  EXPECT_EQ(again.status, 0) << again.output;
  EXPECT_EQ(platform::PropertyListFile::read(installInfo.string()),
            PlistValue(PlistDictionary{{"version", PlistValue("3.0.1")}}));
}

TEST_F(CrashAndFullDiskTest, PurgeAddonRecordOnAFullDisk) {
  mountDisk();
  BuiltInstance target = instance({{"a.b", "1.0", "uninstall.a.b.xml"}, {"x.y", "1.0", "uninstall.x.y.xml"}});
  const fs::path registry = target.rcpHome / "addonInfo.plist";
  const std::string old = readWholeFile(registry);
  ASSERT_TRUE(rcpsim::fillFileSystem(destination().string()));

  Finished run = runToTheEnd({kPurge, "-rcphome", target.installLocation.string(), "-addonID", "a.b"},
                             dir_.path() / "output");

  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "Error:190: Fail to remove addon record : a.b . \n");
  EXPECT_EQ(readWholeFile(registry), old);
  EXPECT_THAT(temporariesBelow({destination(), "/tmp"}), ::testing::IsEmpty());
}

}  // namespace
