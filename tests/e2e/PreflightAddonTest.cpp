// preflightAddon run as the package installer runs it, against instances made on disk, inside
// a private mount namespace so that its log files land in a private /tmp.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

#include "common/AddonPackageBuilder.h"
#include "common/EndToEndTest.h"
#include "common/InstanceBuilder.h"
#include "common/PrivateNamespace.h"
#include "common/RunningCopy.h"
#include "common/TempDir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::AddonPackageBuilder;
using testing_support::AddonRecord;
using testing_support::BuiltInstance;
using testing_support::InstanceBuilder;
using testing_support::NamespaceRun;
using testing_support::PrivateNamespace;
using testing_support::RunningCopy;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

const std::string kProgram = PREFLIGHT_ADDON;
constexpr const char* kLog = "/tmp/rcp_a.b_install.log";

class PreflightAddonTest : public testing_support::EndToEndTest {
 protected:
  fs::path destination() const { return dir_.path() / "Applications"; }

  BuiltInstance instance(InstanceBuilder builder) const { return builder.build(); }
  BuiltInstance defaultInstance() const { return InstanceBuilder(destination()).build(); }

  // A package "Addon.pkg" in its own folder with ID a.b, version 1.0 and target bundle Tallo;
  // the builder may change or add entries.
  AddonPackageBuilder package(const std::string& folder = "media") const {
    return addonPackage(dir_.path() / folder);
  }

  std::vector<std::string> command(const fs::path& package,
                                   const std::vector<std::string>& more = {}) const {
    std::vector<std::string> words = {kProgram, package.string(), destination().string(), "", ""};
    words.insert(words.end(), more.begin(), more.end());
    return words;
  }

  NamespaceRun run(const std::vector<std::string>& words) {
    return freshNamespace().run({words})[0];
  }

  static std::vector<std::string> logOf(const NamespaceRun& run, const std::string& path = kLog) {
    std::optional<std::string> text = run.fileText(path);
    return text ? testing_support::logTexts(*text) : std::vector<std::string>{};
  }

  // The last line before the one that closes every log with the run's status.
  static std::string lastLine(const NamespaceRun& run, const std::string& path = kLog) {
    std::vector<std::string> lines = logOf(run, path);
    if (lines.empty()) return "<no log>";
    if (lines.back() != "preflightAddon exits with " + std::to_string(run.status)) return "<no exit line>";
    return lines.size() < 2 ? std::string("<no log>") : lines[lines.size() - 2];
  }
};

TEST_F(PreflightAddonTest, AcceptsAnAddonThatFitsAndLogsEveryCheck) {
  BuiltInstance target = defaultInstance();
  fs::path pkg = package().build().package;

  NamespaceRun result = run(command(pkg));

  EXPECT_EQ(result.status, 0) << result.standardError;
  EXPECT_EQ(result.standardOutput, "");
  const std::string dest = destination().string();
  EXPECT_THAT(logOf(result),
              ElementsAre("Get install package's location: " + pkg.string(),
                          "Get install destination: " + dest, "Checking unsupported characters",
                          "Checking target platform Tallo under " + dest + ". ",
                          "Checking whether Tallo is running.", "Checking addon version",
                          "Get Info.plist: " + (target.bundle / "Contents/Info.plist").string(),
                          "Checking whether the installedTargetVersion 3.0.1 is compatible with "
                          "targetVersion *.",
                          "preflightAddon exits with 0"));
  for (const auto& line : testing_support::parseLogLines(*result.fileText(kLog))) {
    EXPECT_EQ(line.level, "Info") << line.text;
  }
  // The log file is all the checker leaves behind.
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(result.snapshotOf("/tmp"))) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_THAT(left, ElementsAre("rcp_a.b_install.log"));
}

// A package value with line breaks stays within its own log line: nothing forged follows it.
TEST_F(PreflightAddonTest, PackageValuesCannotForgeLogLines) {
  defaultInstance();
  const std::string forged = "Mon Dec  7 19:52:48 2026 host preflightAddon[1] <Error>: forged";
  fs::path pkg = package().set("targetVersion", "*;\n" + forged + "\r").build().package;

  NamespaceRun result = run(command(pkg));

  EXPECT_EQ(result.status, 0) << result.standardError;
  EXPECT_EQ(lastLine(result), "Checking whether the installedTargetVersion 3.0.1 is compatible with "
                              "targetVersion *;\\n" + forged + "\\r.");
  for (const auto& line : testing_support::parseLogLines(result.fileText(kLog).value_or(""))) {
    EXPECT_EQ(line.level, "Info") << line.text;
  }
}

TEST_F(PreflightAddonTest, RefusesUnsupportedCharactersInEitherPath) {
  const std::string refused = "!\"';\\#%|=?:";
  for (char c : refused) {
    for (bool inPackage : {true, false}) {
      SCOPED_TRACE(std::string("character ") + c + (inPackage ? " in the package" : " in the destination"));
      testing_support::TempDir dir;
      fs::path dest = dir.path() / (inPackage ? std::string("Applications") : std::string("Apps") + c + "x");
      InstanceBuilder(dest).build();
      fs::path pkg = AddonPackageBuilder(dir.path() / (inPackage ? std::string("med") + c + "ia" : "media"))
                         .set("ID", "a.b")
                         .set("targetBundle", "Tallo")
                         .build()
                         .package;
      NamespaceRun result = run({kProgram, pkg.string(), dest.string()});
      EXPECT_EQ(result.status, 155) << result.standardError;
      EXPECT_EQ(lastLine(result), "The specified location contains unsupported characters.");
    }
  }
}

TEST_F(PreflightAddonTest, AcceptsOtherCharactersInPaths) {
  testing_support::TempDir dir;
  fs::path dest = dir.path() / "Pro gramme & $tuff [Ünïcødé] ~*";
  InstanceBuilder(dest).build();
  fs::path pkg = AddonPackageBuilder(dir.path() / "média (1)").set("ID", "a.b").set("targetBundle", "Tallo").build().package;
  NamespaceRun result = run({kProgram, pkg.string(), dest.string()});
  EXPECT_EQ(result.status, 0) << lastLine(result);
}

TEST_F(PreflightAddonTest, RefusesWhenNoInstanceCanBeLocated) {
  struct Case {
    const char* name;
    std::function<std::vector<std::string>()> prepare;
    std::string logFile;
    std::string bundleShown;
  };
  const std::string dest = destination().string();
  std::vector<Case> cases = {
      {"no bundle of that name",
       [&] { return command(package().set("targetBundle", "Other").build().package); }, kLog, "Other"},
      {"bundle without an installed instance",
       [&] {
         InstanceBuilder(destination()).withoutInstallManifest().build();
         return command(package().build().package);
       },
       kLog, "Tallo"},
      {"no targetBundle and no framework folder",
       [&] {
         defaultInstance();
         return command(AddonPackageBuilder(dir_.path() / "media").set("ID", "a.b").build().package);
       },
       kLog, "(null)"},
      {"no configuration file",
       [&] {
         defaultInstance();
         return command(AddonPackageBuilder(dir_.path() / "media").withoutConfiguration().build().package,
                        {"", "Tallo"});
       },
       "/tmp/rcp_addon_install.log", "Tallo"},
      {"framework folder without rcp",
       [&] {
         defaultInstance();
         return command(package().build().package, {(dir_.path() / "elsewhere").string()});
       },
       kLog, "Tallo"},
      {"no destination given",
       [&] { return std::vector<std::string>{kProgram, package().build().package.string()}; }, kLog,
       "Tallo"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(destination());
    fs::remove_all(dir_.path() / "media");
    std::vector<std::string> words = c.prepare();
    NamespaceRun result = run(words);
    EXPECT_EQ(result.status, 150) << result.standardError;
    const std::string shownDestination = words.size() > 2 ? dest : "";
    EXPECT_EQ(lastLine(result, c.logFile),
              "Fail to locate " + c.bundleShown + " under " + shownDestination + ". ");
  }
}

TEST_F(PreflightAddonTest, NoArgumentsAtAllRefusesWith150) {
  NamespaceRun result = run({kProgram});
  EXPECT_EQ(result.status, 150) << result.standardError;
  EXPECT_EQ(lastLine(result, "/tmp/rcp_addon_install.log"), "Fail to locate (null) under . ");
}

TEST_F(PreflightAddonTest, RefusesWhileAProcessRunsFromTheBundleOrASiblingThatExtendsItsPath) {
  BuiltInstance target = defaultInstance();
  fs::path pkg = package().build().package;
  struct Case {
    const char* name;
    fs::path executable;
    int status;
  };
  const std::vector<Case> cases = {
      {"the bundle's own executable", target.executable, 170},
      {"a sibling bundle Tallo.app2", destination() / "Tallo.app2/Contents/MacOS/Tallo", 170},
      {"a bundle differing in letter case only", destination() / "tallo.app/Contents/MacOS/Tallo", 0},
      {"a bundle named after the prefix", destination() / "Tall.app/Contents/MacOS/Tallo", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<RunningCopy> process = RunningCopy::start("/bin/sleep", c.executable, {"infinity"});
    ASSERT_TRUE(process) << "cannot start a copy of /bin/sleep at " << c.executable;
    ASSERT_EQ(process->executablePath(), c.executable.string());

    NamespaceRun result = run(command(pkg));

    EXPECT_TRUE(process->stop());
    EXPECT_EQ(result.status, c.status) << lastLine(result);
    if (c.status == 170) {
      EXPECT_EQ(lastLine(result), "Tallo is running.");
    }
  }
  // Nothing runs any more: the same check passes.
  EXPECT_EQ(run(command(pkg)).status, 0);
}

TEST_F(PreflightAddonTest, RunningCheckUsesTheDestinationEvenWithAFrameworkFolderOverride) {
  BuiltInstance target = defaultInstance();
  fs::path pkg = package().build().package;
  std::optional<RunningCopy> process = RunningCopy::start("/bin/sleep", target.executable, {"infinity"});
  ASSERT_TRUE(process);

  NamespaceRun overridden = run(command(pkg, {target.installLocation.string()}));
  NamespaceRun otherName = run(command(pkg, {target.installLocation.string(), "Other"}));
  NamespaceRun noName = run(command(AddonPackageBuilder(dir_.path() / "plain").set("ID", "a.b").build().package,
                                    {target.installLocation.string()}));
  process->stop();

  EXPECT_EQ(overridden.status, 170);
  // Position 6 names the bundle that the running check looks at.
  EXPECT_EQ(otherName.status, 0) << lastLine(otherName);
  // With no bundle name at all, the bundle that holds the rcp home is looked at.
  EXPECT_EQ(noName.status, 170) << lastLine(noName);
  EXPECT_EQ(lastLine(noName), target.bundle.string() + " is running.");
}

TEST_F(PreflightAddonTest, AddonVersionRuleComparesPlainText) {
  struct Case {
    std::optional<std::string> recorded;  // none: record without "version"
    std::optional<std::string> packaged;  // none: package without "version"
    std::string recordedID;
    int status;
  };
  const std::vector<Case> cases = {
      {"2.0", "1.5", "a.b", 181},  {"1.5", "2.0", "a.b", 0},      {"1.5", "1.5", "a.b", 0},
      {"1.9", "1.10", "a.b", 181}, {"1.0", std::nullopt, "a.b", 181}, {std::nullopt, "1.0", "a.b", 0},
      {"9.0", "1.0", "other", 0},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE("recorded " + c.recorded.value_or("(none)") + " for " + c.recordedID +
                 ", packaged " + c.packaged.value_or("(none)"));
    fs::remove_all(destination());
    fs::remove_all(dir_.path() / "media");
    InstanceBuilder(destination()).addonRecord(AddonRecord{c.recordedID, c.recorded, "uninstall.xml"}).build();
    AddonPackageBuilder builder = AddonPackageBuilder(dir_.path() / "media").set("ID", "a.b").set("targetBundle", "Tallo");
    if (c.packaged) builder.set("version", *c.packaged);
    NamespaceRun result = run(command(builder.build().package));
    EXPECT_EQ(result.status, c.status) << lastLine(result);
    if (c.status == 181) {
      EXPECT_EQ(lastLine(result), "Higher addon version has been installed under " + destination().string() + ". ");
    }
  }
}

// An unreadable registry cannot tell an installed version: a warning, and the check goes on.
TEST_F(PreflightAddonTest, AnUnreadableRegistryIsAWarningNotARefusal) {
  BuiltInstance target = InstanceBuilder(destination()).addonRecord(AddonRecord{"a.b", "9.0", "u.xml"}).build();
  const fs::path registry = target.rcpHome / "addonInfo.plist";
  fs::resize_file(registry, fs::file_size(registry) - 3);

  NamespaceRun result = run(command(package().build().package));

  EXPECT_EQ(result.status, 0) << lastLine(result);
  bool warned = false;
  for (const auto& line : testing_support::parseLogLines(result.fileText(kLog).value_or(""))) {
    warned = warned || (line.level == "Warning" &&
                        line.text == "Fail to read " + registry.string() + ". It is left unchanged.");
  }
  EXPECT_TRUE(warned);
}

TEST_F(PreflightAddonTest, TargetVersionRule) {
  struct Case {
    std::string targetVersion;
    std::optional<std::string> installed;  // none: the bundle has no Info.plist
    int status;
  };
  // The finer points of the rule are unit-tested (PreinstallRulesTest); these go end to end.
  const std::vector<Case> cases = {
      {"2.0;3.0*", "3.0.1", 0}, {"2.0;3.0*", "2.0.1", 151}, {"2.0;3.0*", std::nullopt, 151},
      {"*", std::nullopt, 0},   {"", "7.7", 0},             {"*1", "1", 151},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE("targetVersion '" + c.targetVersion + "', installed " + c.installed.value_or("(unknown)"));
    fs::remove_all(destination());
    fs::remove_all(dir_.path() / "media");
    InstanceBuilder(destination()).targetVersion(c.installed).build();
    NamespaceRun result = run(command(package().set("targetVersion", c.targetVersion).build().package));
    EXPECT_EQ(result.status, c.status) << lastLine(result);
    const std::string shown = c.targetVersion.empty() ? "*" : c.targetVersion;
    EXPECT_THAT(logOf(result), Contains("Checking whether the installedTargetVersion " +
                                        c.installed.value_or("(null)") +
                                        " is compatible with targetVersion " + shown + "."));
    if (c.status == 151) {
      EXPECT_EQ(lastLine(result), "The Tallo  " + shown + " are not installed under " + destination().string() + ".");
    }
  }
}

TEST_F(PreflightAddonTest, FrameworkLocationDefaultAndOverrides) {
  BuiltInstance custom = InstanceBuilder(destination()).frameworkLocation("Contents/Resources/platform").build();
  struct Case {
    const char* name;
    AddonPackageBuilder package;
    std::vector<std::string> more;
    int status;
  };
  std::vector<Case> cases = {
      {"default frameworkLocation misses the instance", package(), {}, 150},
      {"configured frameworkLocation", package().set("frameworkLocation", "Contents/Resources/platform"), {}, 0},
      {"empty frameworkLocation takes the default", package().set("frameworkLocation", ""), {}, 150},
      {"position 5 overrides", package(), {custom.installLocation.string()}, 0},
      {"position 5 with a trailing separator", package(), {custom.installLocation.string() + "/"}, 0},
      {"position 6 does not move the rcp home",
       package().set("frameworkLocation", "Contents/Resources/platform").set("targetBundle", "Tallo"),
       {"", "Renamed"}, 0},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir_.path() / "media");
    NamespaceRun result = run(command(c.package.build().package, c.more));
    EXPECT_EQ(result.status, c.status) << lastLine(result);
  }
  // Position 6 shows in the messages instead of "targetBundle".
  NamespaceRun renamed = run(command(package().set("frameworkLocation", "Contents/Resources/platform").build().package,
                                     {"", "Renamed"}));
  EXPECT_THAT(logOf(renamed), Contains("Checking whether Renamed is running."));
}

TEST_F(PreflightAddonTest, PackageVariableResolvesToThePackagePathAsPassed) {
  const fs::path pkg = dir_.path() / "media" / "Addon.pkg";
  InstanceBuilder(destination()).targetVersion(pkg.string() + "-1").build();
  struct Case {
    std::string targetVersion;
    int status;
  };
  const std::vector<Case> cases = {
      {"${package}-1", 0}, {"${package}*", 0}, {"0;${package}-1", 0}, {"${package}-2", 151},
      {"$package-1", 151}, {"${PACKAGE}-1", 151},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.targetVersion);
    fs::remove_all(dir_.path() / "media");
    package().set("targetVersion", c.targetVersion).build();
    NamespaceRun result = run(command(pkg));
    EXPECT_EQ(result.status, c.status) << lastLine(result);
  }
}

TEST_F(PreflightAddonTest, ConfigurationThatIsNoDictionaryOrHoldsOtherTypes) {
  BuiltInstance target = InstanceBuilder(destination()).addonRecord({"a.b", "1.0", std::nullopt}).build();
  struct Case {
    const char* name;
    AddonPackageBuilder package;
    std::vector<std::string> more;
    int status;
    std::string logFile;
  };
  std::vector<Case> cases = {
      {"not a property list: defaults, no ID",
       AddonPackageBuilder(dir_.path() / "media").rawConfiguration("this is no property list"),
       {target.installLocation.string(), "Tallo"}, 0, "/tmp/rcp_addon_install.log"},
      {"array root", AddonPackageBuilder(dir_.path() / "media").rawConfiguration(
                         "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>a</string></array></plist>"),
       {target.installLocation.string(), "Tallo"}, 0, "/tmp/rcp_addon_install.log"},
      {"a number as version counts as no version", package().set("version", 2), {}, 181, kLog},
      {"a number as targetBundle counts as none", package().set("targetBundle", 5), {}, 150, kLog},
      {"a boolean as targetVersion takes the default", package().set("targetVersion", true), {}, 0, kLog},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir_.path() / "media");
    NamespaceRun result = run(command(c.package.build().package, c.more));
    EXPECT_EQ(result.status, c.status) << lastLine(result, c.logFile);
    EXPECT_TRUE(result.fileText(c.logFile).has_value());
  }
}

TEST_F(PreflightAddonTest, WithoutConfigurationTheInstalledInstanceSuffices) {
  BuiltInstance target = InstanceBuilder(destination()).targetVersion(std::nullopt).build();
  fs::path pkg = AddonPackageBuilder(dir_.path() / "media").withoutConfiguration().build().package;
  NamespaceRun result = run(command(pkg, {target.installLocation.string(), "Tallo"}));
  EXPECT_EQ(result.status, 0) << lastLine(result, "/tmp/rcp_addon_install.log");
  EXPECT_THAT(logOf(result, "/tmp/rcp_addon_install.log"),
              Contains("Checking whether the installedTargetVersion (null) is compatible with targetVersion (null)."));
}

TEST_F(PreflightAddonTest, EachRunTruncatesTheLogFile) {
  defaultInstance();
  fs::path pkg = package().build().package;
  fs::path refused = dir_.path() / "bad#dest";
  PrivateNamespace ns(dir_.path() / "ns-truncate");
  ns.plantFile(kLog, "a line of an older run\n");
  std::vector<NamespaceRun> runs =
      ns.run({{kProgram, pkg.string(), refused.string()}, command(pkg)});

  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].status, 155);
  EXPECT_THAT(logOf(runs[0]), Not(Contains("a line of an older run")));
  EXPECT_EQ(runs[1].status, 0);
  std::vector<std::string> second = logOf(runs[1]);
  EXPECT_THAT(second, Not(Contains("The specified location contains unsupported characters.")));
  EXPECT_EQ(second.front(), "Get install package's location: " + pkg.string());
}

TEST_F(PreflightAddonTest, LogPathIsNeverFollowedThroughALinkNorLeavesTmp) {
  defaultInstance();
  const fs::path outside = dir_.path() / "precious.txt";
  std::ofstream(outside) << "keep me\n";

  struct Case {
    const char* name;
    std::function<void(PrivateNamespace&)> plant;
    std::string id;
    std::string expectedLog;  // where the run's messages go; "" for nowhere but the system log
  };
  const std::vector<Case> cases = {
      {"link to a file in /tmp",
       [](PrivateNamespace& ns) { ns.plantFile("/tmp/victim", "keep me\n").plantSymlink("/tmp/victim", kLog); },
       "a.b", ""},
      {"link to a file outside /tmp", [&](PrivateNamespace& ns) { ns.plantSymlink(outside.string(), kLog); },
       "a.b", ""},
      {"dangling link", [](PrivateNamespace& ns) { ns.plantSymlink("/tmp/made-through-link", kLog); }, "a.b", ""},
      {"second hard link",
       [](PrivateNamespace& ns) { ns.plantFile("/tmp/victim", "keep me\n").plantHardLink("/tmp/victim", kLog); },
       "a.b", ""},
      {"ID with a slash", [](PrivateNamespace&) {}, "../etc/x", "/tmp/rcp_addon_install.log"},
      {"ID ..", [](PrivateNamespace&) {}, "..", "/tmp/rcp_addon_install.log"},
      {"ID .", [](PrivateNamespace&) {}, ".", "/tmp/rcp_addon_install.log"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir_.path() / "media");
    fs::path pkg = package().set("ID", c.id).build().package;
    PrivateNamespace ns(dir_.path() / ("ns-link" + std::to_string(sessions_++)));
    // Were "../etc/x" taken as it is, the log would be made in /tmp/etc through /tmp/rcp_..
    ns.makeFolder("/tmp/etc").makeFolder("/tmp/rcp_..");
    c.plant(ns);
    NamespaceRun result = ns.run({command(pkg)})[0];

    EXPECT_EQ(result.status, 0) << result.standardError;
    std::ifstream check(outside);
    std::string outsideText((std::istreambuf_iterator<char>(check)), {});
    EXPECT_EQ(outsideText, "keep me\n");
    if (c.expectedLog.empty()) {
      // The planted entry is left as it was; the run logged to the system log alone.
      const fs::path logCopy = result.snapshotOf(kLog);
      if (!fs::is_symlink(logCopy)) {
        EXPECT_EQ(result.fileText(kLog).value_or("<missing>"), "keep me\n");
      }
      EXPECT_EQ(result.fileText("/tmp/victim").value_or("keep me\n"), "keep me\n");
      EXPECT_FALSE(fs::exists(fs::symlink_status(result.snapshotOf("/tmp/made-through-link"))));
    } else {
      EXPECT_EQ(lastLine(result, c.expectedLog),
                "Checking whether the installedTargetVersion 3.0.1 is compatible with targetVersion *.");
      EXPECT_TRUE(fs::is_empty(result.snapshotOf("/tmp/etc")));
    }
  }
}

}  // namespace
