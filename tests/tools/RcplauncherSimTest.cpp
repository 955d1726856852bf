// The simulated launcher, run as the installer programs run it: copied into an instance as
// "rcplauncher" and started as a child process.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "common/ScopedEnvironment.h"
#include "common/SimInstance.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using testing_support::ScopedEnvironment;
using testing_support::SimInstance;
using Arguments = std::vector<std::string>;

Arguments addonUpdateRun(const std::string& site, const std::string& locale = "en_US") {
  return {"-rcpLauncherWait", "-provManifest", "-noSplash", "-provisioningOperation", "update", "-nl", locale,
          "-vmargs", "-Dfile.encoding=UTF-8", "-DprovisioningOperation=update",
          "-DprovUpdateSiteListOverride=file:" + site, "-Xms32m", "-Xmx256m"};
}

Arguments uninstallUpdateRun(const std::string& locale = "en_US") {
  return {"-rcpLauncherWait", "-provManifest", "-noSplash", "-provisioningOperation", "update", "-nl", locale,
          "-vmargs", "-Dfile.encoding=UTF-8", "-Xms32m", "-Xmx256m"};
}

Arguments cleanupRun() {
  return {"-provManifest", "-rcpLauncherWait", "-noSplash", "-product", "NULL", "-provisioningOperation", "cleanup"};
}

struct LauncherRun {
  int exitStatus = -1;
  std::string output;  // standard output and standard error together
};

// Starts the instance's launcher by `program` (default: its absolute path) and keeps its output.
LauncherRun runLauncher(const SimInstance& instance, const Arguments& arguments,
                const std::optional<std::string>& program = std::nullopt) {
  std::string outputPath = (instance.temp() / "launcher-output").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  Arguments argv{program.value_or(instance.launcher().string())};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<char*> pointers;
  for (std::string& argument : argv) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  LauncherRun run;
  pid_t pid = -1;
  int status = 0;
  if (posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, pointers.data(), environ) == 0 &&
      waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    run.exitStatus = WEXITSTATUS(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  std::ifstream in(outputPath);
  run.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return run;
}

std::string feature(const std::string& id, const std::string& version, const std::string& extra = "") {
  return "<feature id=\"" + id + "\" version=\"" + version + "\" " + extra + "/>\n";
}

TEST(RcplauncherSimTest, AcceptsEveryListOfTheInstallerPrograms) {
  struct Case {
    const char* name;
    Arguments arguments;
  } cases[] = {
      {"add-on update run", addonUpdateRun("/Volumes/Pkg/../../updates/platform")},
      {"uninstallers' update run", uninstallUpdateRun("de_DE")},
      {"update run with an empty locale", uninstallUpdateRun("")},
      {"cleanup run", cleanupRun()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimInstance instance;
    instance.stageUpdateManifest("");

    LauncherRun run = runLauncher(instance, c.arguments);

    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(instance.resultText(), "rc=0\n");
    EXPECT_EQ(instance.journal(), std::vector<Arguments>{c.arguments});
  }
}

TEST(RcplauncherSimTest, RefusesAnyOtherListAndLeavesTheInstanceAlone) {
  Arguments swappedCleanup = cleanupRun();
  std::swap(swappedCleanup[0], swappedCleanup[1]);
  Arguments shortUpdate = uninstallUpdateRun();
  shortUpdate.pop_back();
  Arguments unknownOperation = cleanupRun();
  unknownOperation.back() = "install";
  Arguments siteWithoutScheme = addonUpdateRun("/site");
  siteWithoutScheme[10] = "-DprovUpdateSiteListOverride=/site";
  struct Case {
    const char* name;
    Arguments arguments;
  } cases[] = {
      {"no arguments", {}},
      {"cleanup with its first two swapped", swappedCleanup},
      {"update without its last", shortUpdate},
      {"unknown operation", unknownOperation},
      {"update site without file:", siteWithoutScheme},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimInstance instance;
    instance.stageUpdateManifest(feature("com.norq.gone", "1.0", "action=\"uninstall\""));
    fs::create_directory(instance.plugins() / "com.norq.gone_1.0");

    LauncherRun run = runLauncher(instance, c.arguments);

    EXPECT_EQ(run.exitStatus, 13);
    EXPECT_EQ(run.output, "rcplauncher: refused argument list: " + rcpsim::formatJournalLine(c.arguments));
    EXPECT_EQ(instance.resultText(), "rc=13\n");
    EXPECT_EQ(instance.journal(), std::vector<Arguments>{c.arguments});
    EXPECT_TRUE(fs::exists(instance.plugins() / "com.norq.gone_1.0"));
    EXPECT_TRUE(fs::exists(instance.updateManifest()));
  }
}

TEST(RcplauncherSimTest, UpdateInstallsFromTheFeatureUrlElseTheUpdateSite) {
  SimInstance instance;
  fs::path package = instance.temp() / "Pkg with space";
  fs::path overrideSite = instance.temp() / "updates" / "platform";
  SimInstance::addSitePlugin(package / "site", "com.norq.one_1.0.0");
  SimInstance::addSitePlugin(overrideSite, "com.norq.two_2.0.0");
  SimInstance::addSitePlugin(overrideSite, "com.norq.three_3.0");
  fs::create_directory(instance.plugins() / "com.norq.base_1.0");
  instance.stageUpdateManifest(feature("com.norq.one", "1.0.0", "url=\"file:" + (package / "site").string() + "\"") +
                               feature("com.norq.two", "2.0.0") +
                               feature("com.norq.three", "3.0", "action=\"install\" url=\"http://elsewhere\""));

  LauncherRun run = runLauncher(instance, addonUpdateRun(overrideSite.string()));

  EXPECT_EQ(run.exitStatus, 0) << run.output;
  EXPECT_EQ(instance.resultText(), "rc=0\n");
  for (const char* name : {"com.norq.one_1.0.0", "com.norq.two_2.0.0", "com.norq.three_3.0"}) {
    SCOPED_TRACE(name);
    std::ifstream copied(instance.plugins() / name / "META-INF" / "MANIFEST.MF");
    std::string line;
    std::getline(copied, line);
    EXPECT_EQ(line, std::string("Bundle-SymbolicName: ") + name);
  }
  EXPECT_TRUE(fs::exists(instance.plugins() / "com.norq.base_1.0"));
  EXPECT_TRUE(fs::exists(instance.updateManifest())) << "only cleanup removes the manifest";
}

TEST(RcplauncherSimTest, UpdateUninstallsAndARepeatedRunChangesNothing) {
  SimInstance instance;
  fs::create_directory(instance.plugins() / "com.norq.hotfix_1.0.1");
  std::ofstream(instance.plugins() / "com.norq.hotfix_1.0.1" / "plugin.jar") << "jar";
  fs::create_directory(instance.plugins() / "com.norq.base_1.0");
  fs::create_directory(instance.temp() / "outside");
  fs::create_directory_symlink(instance.temp() / "outside", instance.plugins() / "com.norq.linked_1.0");
  instance.stageUpdateManifest(feature("com.norq.hotfix", "1.0.1", "action=\"uninstall\"") +
                               feature("com.norq.linked", "1.0", "action=\"uninstall\""));

  // The uninstallers run the same update twice, one after the other.
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    EXPECT_EQ(runLauncher(instance, uninstallUpdateRun()).exitStatus, 0);
    EXPECT_EQ(instance.resultText(), "rc=0\n");
  }
  EXPECT_FALSE(fs::exists(instance.plugins() / "com.norq.hotfix_1.0.1"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(instance.plugins() / "com.norq.linked_1.0")));
  EXPECT_TRUE(fs::exists(instance.temp() / "outside")) << "a link is removed, not followed";
  EXPECT_TRUE(fs::exists(instance.plugins() / "com.norq.base_1.0"));
  EXPECT_EQ(instance.journal().size(), 2u);
}

TEST(RcplauncherSimTest, FailingUpdateChangesNothingAndCleanupReportsTheFailure) {
  SimInstance instance;
  fs::path site = instance.temp() / "site";
  SimInstance::addSitePlugin(site, "com.norq.present_1.0");
  fs::create_directory(instance.plugins() / "com.norq.old_0.9");
  instance.stageUpdateManifest(feature("com.norq.present", "1.0") +
                               feature("com.norq.old", "0.9", "action=\"uninstall\"") +
                               feature("com.norq.absent", "1.0"));

  LauncherRun update = runLauncher(instance, addonUpdateRun(site.string()));
  EXPECT_EQ(update.exitStatus, 1);
  EXPECT_NE(update.output.find("missing source " + site.string() + "/plugins/com.norq.absent_1.0"),
            std::string::npos)
      << update.output;
  EXPECT_EQ(instance.resultText(), "rc=1\n");
  EXPECT_FALSE(fs::exists(instance.plugins() / "com.norq.present_1.0"));
  EXPECT_TRUE(fs::exists(instance.plugins() / "com.norq.old_0.9"));

  // The caller deletes the result file before every run.
  fs::remove(instance.resultFile());
  EXPECT_EQ(runLauncher(instance, cleanupRun()).exitStatus, 1);
  EXPECT_EQ(instance.resultText(), "rc=1\n");
  EXPECT_FALSE(fs::exists(instance.updateManifest()));

  // The failure was reported once; a later cleanup has no failed update to report.
  EXPECT_EQ(runLauncher(instance, cleanupRun()).exitStatus, 0);
  EXPECT_EQ(instance.resultText(), "rc=0\n");
}

TEST(RcplauncherSimTest, UpdateFailsOnManifestsItCannotCarryOut) {
  struct Case {
    const char* name;
    std::optional<std::string> features;  // none: no manifest staged
  } cases[] = {
      {"no manifest", std::nullopt},
      {"id that climbs out of the plug-in folder", feature("../../../escaped", "1.0")},
      {"version with a slash", feature("com.norq.one", "1.0/../../x")},
      {"feature without a version", "<feature id=\"com.norq.one\"/>\n"},
      {"unknown action", feature("com.norq.one", "1.0", "action=\"upgrade\"")},
      {"not XML", "<feature"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimInstance instance;
    // The site is deep enough that the climbing source exists: only the name check stops it.
    fs::path site = instance.temp() / "a" / "b" / "c" / "site";
    SimInstance::addSitePlugin(site, "com.norq.one_1.0");
    fs::create_directories(instance.temp() / "a" / "b" / "escaped_1.0");
    if (c.features) instance.stageUpdateManifest(*c.features);

    EXPECT_EQ(runLauncher(instance, addonUpdateRun(site.string())).exitStatus, 1);
    EXPECT_EQ(instance.resultText(), "rc=1\n");
    EXPECT_TRUE(fs::is_empty(instance.plugins()));
    EXPECT_FALSE(fs::exists(instance.rcpHome().parent_path() / "escaped_1.0"));
  }
}

TEST(RcplauncherSimTest, EnvironmentForcesTheResult) {
  struct Case {
    const char* name;
    const char* forceRc;
    const char* noResult;
    int exitStatus;
    std::optional<std::string> result;
  } cases[] = {
      {"forced success code 2", "2", nullptr, 2, "rc=2\n"},
      {"forced failure", "-1", nullptr, 1, "rc=-1\n"},
      {"no result file", nullptr, "1", 0, std::nullopt},
      {"no result file switched off", nullptr, "0", 0, "rc=0\n"},
      {"unreadable code is refused", "two", nullptr, 13, "rc=13\n"},
      {"unknown switch value is refused", nullptr, "yes", 13, "rc=13\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimInstance instance;
    std::optional<ScopedEnvironment> forceRc, noResult;
    if (c.forceRc) forceRc.emplace("RCPSIM_FORCE_RC", c.forceRc);
    if (c.noResult) noResult.emplace("RCPSIM_NO_RESULT", c.noResult);

    EXPECT_EQ(runLauncher(instance, cleanupRun()).exitStatus, c.exitStatus);
    EXPECT_EQ(instance.resultText(), c.result);
  }
}

TEST(RcplauncherSimTest, KillsTheRunTheJournalCountsAsTheGivenOne) {
  SimInstance instance;
  ScopedEnvironment killSecond("RCPSIM_KILL_RUN", "2");
  EXPECT_EQ(runLauncher(instance, cleanupRun()).exitStatus, 0);
  EXPECT_EQ(runLauncher(instance, cleanupRun()).exitStatus, -1) << "killed";
  EXPECT_EQ(instance.resultText(), "rc=0\n") << "the killed run wrote its result first";
  EXPECT_EQ(runLauncher(instance, cleanupRun()).exitStatus, 0);
  EXPECT_EQ(instance.journal().size(), 3u);
  ScopedEnvironment refused("RCPSIM_KILL_RUN", "0");
  EXPECT_EQ(runLauncher(instance, cleanupRun()).exitStatus, 13);
}

TEST(RcplauncherSimTest, FindsItsInstanceFromHowItWasStarted) {
  SimInstance instance;
  SimInstance other;
  fs::path previous = fs::current_path();
  fs::current_path(other.rcpHome());  // the working folder belongs to another instance

  LauncherRun run = runLauncher(instance, cleanupRun(), fs::relative(instance.launcher(), other.rcpHome()).string());
  fs::current_path(previous);

  EXPECT_EQ(run.exitStatus, 0) << run.output;
  EXPECT_EQ(instance.resultText(), "rc=0\n");
  EXPECT_EQ(other.resultText(), std::nullopt);
}

TEST(JournalTest, LinesReadBackExactly) {
  const std::vector<Arguments> lists = {
      {},
      {""},
      {"", ""},
      {"plain", "two words", "\"quoted\" 'too'"},
      {"back\\slash", "tab\there", "line\nfeed", "cr\rhere", "\\t is not a tab", "trailing\\"},
  };
  for (const Arguments& list : lists) {
    std::string line = rcpsim::formatJournalLine(list);
    SCOPED_TRACE(line);
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1);
    EXPECT_EQ(rcpsim::parseJournalLine(std::string_view(line).substr(0, line.size() - 1)), list);
  }
  EXPECT_NE(rcpsim::formatJournalLine({}), rcpsim::formatJournalLine({""}));
}

TEST(JournalTest, MalformedLinesAreRejected) {
  for (const char* line : {"", "2\tonly one", "1\ttwo\tfields", "x\targ", "1\tbad\\escape", "1\ttrailing\\",
                           "-1", "1 \targ"}) {
    SCOPED_TRACE(line);
    EXPECT_EQ(rcpsim::parseJournalLine(line), std::nullopt);
  }
}

}  // namespace
