// Path, process and package checks of InstallUtil and the replace-all of StringUtil.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "common/FileAccessOverride.h"
#include "common/RunningCopy.h"
#include "common/TempDir.h"
#include "common/TestUser.h"
#include "installer/support/InstallUtil.h"
#include "installer/formats/StringUtil.h"
#include "platform/PropertyListFile.h"
#include "platform/UserPreferences.h"

namespace {

namespace fs = std::filesystem;
using platform::PlistValue;
using namespace support;

TEST(InstallUtilChecksTest, UnsupportedCharacters) {
  EXPECT_FALSE(InstallUtil::containUnSupportedCharacters(std::nullopt));
  for (const char* path : {"", "/Applications/My Apps/Tällö Ünïcode", "/a&b/$c/*d/~e/[f]/(g)/{h}",
                           "relative/path", "//double//slashes//"}) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(InstallUtil::containUnSupportedCharacters(std::string(path)));
  }
  for (char c : std::string("!\"';\\#%|=?:")) {
    for (const std::string& where : {std::string("/a/b") + c, std::string(1, c) + "/a",
                                     std::string("/a/x") + c + "y/b"}) {
      SCOPED_TRACE(where);
      EXPECT_TRUE(InstallUtil::containUnSupportedCharacters(where));
    }
  }
}

TEST(InstallUtilChecksTest, BundlePathIsUpToTheLastExecutableFolderMarker) {
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
      {"/Applications/X.app/Contents/MacOS/rcp", "/Applications/X.app"},
      {"/A/Outer.app/Contents/MacOS/Inner.app/Contents/MacOS/rcp",
       "/A/Outer.app/Contents/MacOS/Inner.app"},
      {"/A/X.app/Contents/MacOS", "/A/X.app"},
      {"/A/X.app/Contents/Resources/rcp", std::nullopt},
      {"/A/X/Contents/MacOS/rcp", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [path, bundle] : cases) {
    SCOPED_TRACE(path);
    EXPECT_EQ(InstallUtil::getBundlePath(path), bundle);
  }
}

TEST(InstallUtilChecksTest, PrefixIgnoringLetterCase) {
  EXPECT_TRUE(InstallUtil::hasPrefixCaseInsensitivePrefix(".KEYSTORE.jks", ".keystore"));
  EXPECT_TRUE(InstallUtil::hasPrefixCaseInsensitivePrefix(".keystore", ".KeyStore"));
  EXPECT_FALSE(InstallUtil::hasPrefixCaseInsensitivePrefix("my.keystore", ".keystore"));
  EXPECT_FALSE(InstallUtil::hasPrefixCaseInsensitivePrefix("_keystore", ".keystore"));
  EXPECT_FALSE(InstallUtil::hasPrefixCaseInsensitivePrefix(".key", ".keystore"));
  EXPECT_FALSE(InstallUtil::hasPrefixCaseInsensitivePrefix("anything", ""));
  EXPECT_FALSE(InstallUtil::hasPrefixCaseInsensitivePrefix("", ""));
}

TEST(InstallUtilChecksTest, ReplaceAllSearchesFromTheEnd) {
  struct Case {
    std::string source, target, replacement, expected;
  };
  const std::vector<Case> cases = {
      {"aaa", "aa", "b", "ab"},
      {"${package}/../${package}", "${package}", "/P", "/P/..//P"},
      {"nothing here", "${package}", "/P", "nothing here"},
      {"aXa", "a", "aa", "aaXaa"},
      {"Ünï Ünï", "Ünï", "u", "u u"},
      {"CASE case", "case", "x", "CASE x"},
      {"abc", "", "x", "abc"},
      {"", "a", "x", ""},
      {"ab", "abc", "x", "ab"},
      {"abc", "abc", "x", "x"},
      {"abab", "ab", "x", "xx"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source + " / " + c.target);
    EXPECT_EQ(StringUtil::stringByReplacingOccurrencesOfStringTargetWithString(c.source, c.target,
                                                                               c.replacement),
              c.expected);
  }
}

TEST(InstallUtilChecksTest, PackageVariableReplacesTextValuesOnly) {
  platform::PlistDictionary properties{
      {"twice", "${package}/a:${package}/b"},
      {"number", PlistValue(std::int64_t{7})},
      {"array", PlistValue(platform::PlistArray{PlistValue("${package}")})},
      {"plain", "no variable"},
  };
  const platform::PlistDictionary original = properties;
  InstallUtil::replacePackageVariableWithInProperties(std::nullopt, properties);
  EXPECT_EQ(properties, original);

  InstallUtil::replacePackageVariableWithInProperties("/Vol/Pkg/", properties);
  EXPECT_EQ(properties.at("twice"), PlistValue("/Vol/Pkg//a:/Vol/Pkg//b"));
  EXPECT_EQ(properties.at("number"), original.at("number"));
  EXPECT_EQ(properties.at("array"), original.at("array"));
  EXPECT_EQ(properties.at("plain"), original.at("plain"));
}

TEST(InstallUtilChecksTest, RunningCheckIsATextualPrefixOfRunningExecutables) {
  testing_support::TempDir dir;
  const fs::path bundle = dir.path() / "Tallo.app";
  EXPECT_THAT(InstallUtil::getAllProcess(), ::testing::Contains(fs::read_symlink("/proc/self/exe").string()));
  EXPECT_FALSE(InstallUtil::checkBundleIsRunning(bundle.string()));

  struct Case {
    const char* name;
    fs::path executable;
    bool running;
  };
  const std::vector<Case> cases = {
      {"inside the bundle", bundle / "Contents/MacOS/Tallo", true},
      {"sibling that extends the text", dir.path() / "Tallo.app2/Contents/MacOS/Tallo", true},
      {"differs in letter case", dir.path() / "TALLO.app/Contents/MacOS/Tallo", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto process = testing_support::RunningCopy::start("/bin/sleep", c.executable, {"infinity"});
    ASSERT_TRUE(process);
    EXPECT_THAT(InstallUtil::getAllProcess(), ::testing::Contains(c.executable.string()));
    EXPECT_EQ(InstallUtil::checkBundleIsRunning(bundle.string()), c.running);
    ASSERT_TRUE(process->stop());
    EXPECT_FALSE(InstallUtil::checkBundleIsRunning(bundle.string()));
  }
}

// Writes the user's global preferences readable by that user only.
void writeUserOnlyPreferences(const testing_support::TestUser& user,
                              const platform::PlistDictionary& values) {
  const fs::path preferences = fs::path(user.home) / "Library/Preferences";
  fs::create_directories(preferences);
  const fs::path file = preferences / ".GlobalPreferences.plist";
  ASSERT_FALSE(platform::PropertyListFile::write(file.string(), values));
  for (const fs::path& path : {fs::path(user.home) / "Library", preferences, file}) {
    ASSERT_EQ(::chown(path.c_str(), user.uid, user.gid), 0);
    ASSERT_EQ(::chmod(path.c_str(), fs::is_directory(path) ? 0700 : 0600), 0);
  }
}

TEST(InstallUtilLocaleTest, ReadsAppleLocaleAsTheLoggedInUser) {
  RCP_WITH_TEST_USER(user);
  writeUserOnlyPreferences(user, {{"AppleLocale", "de_CH"}});
  testing_support::dropFileAccessOverride();
  ASSERT_FALSE(platform::UserPreferences(user.home).valueForKey(".GlobalPreferences", "AppleLocale"))
      << "root must not be able to read the user's preferences for this test to prove anything";

  ::setenv("USER", user.name.c_str(), 1);
  EXPECT_EQ(InstallUtil::getCurrentLocale(), "de_CH");
  EXPECT_EQ(::geteuid(), 0u);

  // Without USER, the login name is the user.
  ::unsetenv("USER");
  ::setenv("LOGNAME", user.name.c_str(), 1);
  EXPECT_EQ(InstallUtil::getCurrentLocale(), "de_CH");
  EXPECT_EQ(::geteuid(), 0u);
}

TEST(InstallUtilLocaleTest, DefaultsToEnglishWithoutAPreference) {
  RCP_WITH_TEST_USER(user);
  ::setenv("USER", user.name.c_str(), 1);
  EXPECT_EQ(InstallUtil::getCurrentLocale(), "en_US");
  writeUserOnlyPreferences(user, {{"AppleLanguages", PlistValue(platform::PlistArray{"de"})}});
  EXPECT_EQ(InstallUtil::getCurrentLocale(), "en_US");
  writeUserOnlyPreferences(user, {{"AppleLocale", PlistValue(std::int64_t{3})}});
  EXPECT_EQ(InstallUtil::getCurrentLocale(), "en_US");
  EXPECT_EQ(::geteuid(), 0u);
}

TEST(InstallUtilLocaleTest, UnknownUserIsReadWithoutSwitchingFromTheOwnHome) {
  RCP_WITH_TEST_USER(user);
  // The child may change its environment freely; it ends with the test.
  const fs::path home = fs::path(user.scratch) / "own-home";
  fs::create_directories(home / "Library/Preferences");
  ASSERT_FALSE(platform::PropertyListFile::write(
      (home / "Library/Preferences/.GlobalPreferences.plist").string(),
      platform::PlistDictionary{{"AppleLocale", "fr_CA"}}));
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("USER", "no-such-user-in-the-database", 1);
  const uid_t before = ::geteuid();
  EXPECT_EQ(InstallUtil::getCurrentLocale(), "fr_CA");
  EXPECT_EQ(::geteuid(), before);
}

}  // namespace
