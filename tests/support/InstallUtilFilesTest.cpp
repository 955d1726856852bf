// Manifest versions, meta-package paths and the provisioning command runner.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "common/TempDir.h"
#include "installer/support/CommandLineWords.h"
#include "installer/support/InstallUtil.h"
#include "installer/formats/ManifestClock.h"

namespace {

using namespace support;
namespace fs = std::filesystem;

// Sets a time zone for one test and restores the previous one.
class TimeZoneGuard {
 public:
  explicit TimeZoneGuard(const char* zone) {
    if (const char* old = std::getenv("TZ")) saved_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~TimeZoneGuard() {
    if (saved_) ::setenv("TZ", saved_->c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
    ManifestClock::fixNowForTesting(std::nullopt);
  }

 private:
  std::optional<std::string> saved_;
};

bool exists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

TEST(ManifestVersionTest, DayMonthYearHourMinuteOfLocalTime) {
  struct Case {
    const char* zone;
    std::time_t instant;
    const char* expected;
  } cases[] = {
      {"UTC0", 1796598480, "0612262308"},  // 2026-12-06 23:08:00
      {"UTC0", 1796598539, "0612262308"},  // 59 seconds later: seconds play no part
      {"UTC0", 1236236640, "0503090704"},  // 2009-03-05 07:04
      {"UTC0", 946684800, "0101000000"},   // 2000-01-01 00:00
      {"EST5", 1767238200, "3112252230"},  // 2026-01-01 03:30 UTC is still 2025 five hours west
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.zone) + " " + std::to_string(c.instant));
    TimeZoneGuard zone(c.zone);
    ManifestClock::fixNowForTesting(c.instant);
    EXPECT_EQ(InstallUtil::generateNewManifestVersion(), c.expected);
  }
}

TEST(ManifestVersionTest, SystemClockGivesTenDigits) {
  std::string version = InstallUtil::generateNewManifestVersion();
  EXPECT_EQ(version.size(), 10u);
  EXPECT_EQ(version.find_first_not_of("0123456789"), std::string::npos) << version;
}

TEST(ProcessDateTest, PadsOnlyASingleCharacter) {
  EXPECT_EQ(InstallUtil::processDate("7"), "07");
  EXPECT_EQ(InstallUtil::processDate("0"), "00");
  EXPECT_EQ(InstallUtil::processDate("12"), "12");
  EXPECT_EQ(InstallUtil::processDate("123"), "123");
}

TEST(MetaPackagePathTest, RemovesTrailingComponents) {
  struct Case {
    const char* path;
    const char* mpkg;
    const char* installerRoot;
  } cases[] = {
      {"/Volumes/Disk/Suite.mpkg/Contents/Packages/Addon.pkg", "/Volumes/Disk/Suite.mpkg", "/Volumes/Disk"},
      {"/Volumes/Disk/Suite.mpkg/Contents/Packages/Addon.pkg/", "/Volumes/Disk/Suite.mpkg", "/Volumes/Disk"},
      {"/a/b", "/", "/"},
      {"a/b/c/d", "a", ""},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(InstallUtil::getPathToMPKGThrough(c.path), c.mpkg);
    EXPECT_EQ(InstallUtil::getInstallerRootThrough(c.path), c.installerRoot);
  }
}

TEST(CommandLineWordsTest, SplitsLikeAShellWithoutInterpretingAnything) {
  using Words = std::vector<std::string>;
  struct Case {
    const char* line;
    std::optional<Words> words;
  } cases[] = {
      {"  run  -a\tb ", Words{"run", "-a", "b"}},
      {"run \"/Volumes/My Disk/x\" 'it''s'", Words{"run", "/Volumes/My Disk/x", "its"}},
      {"run \"a\\\"b\\\\c\\d\" a\\ b ''", Words{"run", "a\"b\\c\\d", "a b", ""}},
      {"run $HOME;rm -rf *|x>y `id`", Words{"run", "$HOME;rm", "-rf", "*|x>y", "`id`"}},
      {"run 'open", std::nullopt},
      {"run \"open", std::nullopt},
      {"run \\", std::nullopt},
      {"run a\\\nb \\\n c", Words{"run", "ab", "c"}},
      {"", Words{}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(splitCommandLine(c.line), c.words);
  }
}

TEST(StartProvisionTest, RunsTheProgramWithoutAShell) {
  testing_support::TempDir dir;
  // A shell would run two commands and create "first" and "second".
  InstallUtil::startProvisionWithArgs("touch '" + dir / "with space" + "' " + dir / "first;touch" + " " +
                                      dir / "second");
  EXPECT_TRUE(exists(dir / "with space"));
  EXPECT_TRUE(exists(dir / "first;touch"));
  EXPECT_TRUE(exists(dir / "second"));
  EXPECT_FALSE(exists(dir / "first"));

  InstallUtil::startProvisionWithArgs("touch '" + dir / "unclosed");  // refused, nothing runs
  EXPECT_FALSE(exists(dir / "unclosed"));
}

// A bare name is the first executable file of that name along PATH; a file that may not be run
// and a folder of that name are passed over, and with no executable one nothing runs.
TEST(StartProvisionTest, ABareNameRunsTheFirstExecutableFileAlongThePath) {
  testing_support::TempDir dir;
  const std::string script = "#!/bin/sh\necho \"$0\" > \"$1\"\n";
  for (const char* folder : {"closed", "folder/tool", "runs", "later"}) fs::create_directories(dir / folder);
  for (const char* folder : {"closed", "runs", "later"}) {
    const std::string tool = dir / (std::string(folder) + "/tool");
    std::ofstream(tool) << script;
    fs::permissions(tool, std::string(folder) == "closed" ? fs::perms(0644) : fs::perms(0755));
  }
  const char* saved = std::getenv("PATH");
  const std::string savedPath = saved != nullptr ? saved : "";
  ::setenv("PATH", (dir / "closed:" + dir / "folder:" + dir / "runs:" + dir / "later").c_str(), 1);
  InstallUtil::startProvisionWithArgs("tool " + dir / "ran");
  ::setenv("PATH", (dir / "closed:" + dir / "folder").c_str(), 1);
  InstallUtil::startProvisionWithArgs("tool " + dir / "nothing");
  ::setenv("PATH", savedPath.c_str(), 1);

  std::ifstream ran(dir / "ran");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(ran), {}), dir / "runs/tool\n");
  EXPECT_FALSE(exists(dir / "nothing"));
}

}  // namespace
