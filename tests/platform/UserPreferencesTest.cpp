#include "platform/UserPreferences.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/FileHelpers.h"
#include "common/TempDir.h"
#include "platform/PropertyListFile.h"

namespace {

using platform::PlistDictionary;
using platform::PlistValue;
using platform::UserPreferences;
using testing_support::TempDir;

TEST(UserPreferencesTest, KeepsEachDomainInItsOwnFile) {
  TempDir home;
  const UserPreferences preferences(home.str());
  EXPECT_EQ(home / "Library/Preferences/.GlobalPreferences.plist",
            preferences.pathOfDomain(platform::kGlobalPreferencesDomain));
  EXPECT_EQ(std::nullopt, preferences.valueForKey(platform::kGlobalPreferencesDomain, "AppleLocale"));
  EXPECT_EQ("/Library/Preferences/d.plist", UserPreferences("/").pathOfDomain("d"));
  EXPECT_EQ("/Library/Preferences/d.plist", UserPreferences("//").pathOfDomain("d"));
  EXPECT_EQ("/h/Library/Preferences/d.plist", UserPreferences("/h//").pathOfDomain("d"));

  // Missing folders are made on the first write, private to the user.
  ASSERT_TRUE(preferences.setValueForKey(platform::kGlobalPreferencesDomain, "AppleLocale",
                                         PlistValue("de_CH")));
  ASSERT_TRUE(preferences.setValueForKey("com.norq.rcp", "trace", PlistValue(true)));
  ASSERT_TRUE(preferences.setValueForKey("com.norq.rcp", "level", PlistValue(3)));
  struct stat info {};
  ASSERT_EQ(0, ::stat((home / "Library/Preferences").c_str(), &info));
  EXPECT_EQ(0700u, info.st_mode & 07777);

  EXPECT_EQ(PlistValue("de_CH"),
            preferences.valueForKey(platform::kGlobalPreferencesDomain, "AppleLocale"));
  EXPECT_EQ(PlistValue(true), preferences.valueForKey("com.norq.rcp", "trace"));
  EXPECT_EQ(std::nullopt, preferences.valueForKey("com.norq.rcp", "AppleLocale"));

  // Removing a key keeps the others; removing from a missing domain creates nothing.
  ASSERT_TRUE(preferences.setValueForKey("com.norq.rcp", "trace", std::nullopt));
  EXPECT_EQ(PlistValue(PlistDictionary{{"level", 3}}),
            platform::PropertyListFile::read(preferences.pathOfDomain("com.norq.rcp")));
  ASSERT_TRUE(preferences.setValueForKey("com.norq.absent", "x", std::nullopt));
  EXPECT_NE(0, ::access(preferences.pathOfDomain("com.norq.absent").c_str(), F_OK));

  // A domain may live in a folder of its own.
  ASSERT_TRUE(preferences.setValueForKey("com.norq.services/com.norq.handlers", "LSHandlers",
                                         PlistValue(platform::PlistArray{})));
  EXPECT_EQ(PlistValue(platform::PlistArray{}),
            preferences.valueForKey("com.norq.services/com.norq.handlers", "LSHandlers"));
}

TEST(UserPreferencesTest, LeavesFilesThatAreNoDictionaryAlone) {
  TempDir home;
  const UserPreferences preferences(home.str());
  ASSERT_TRUE(preferences.setValueForKey("broken", "seed", PlistValue(1)));
  ASSERT_TRUE(preferences.setValueForKey("list", "seed", PlistValue(1)));
  testing_support::writeWholeFile(preferences.pathOfDomain("broken"), "{ not closed");
  ASSERT_FALSE(platform::PropertyListFile::write(preferences.pathOfDomain("list"),
                                                 platform::PlistArray{"a"}));

  // A home whose "Library" is a file: nothing can be written.
  TempDir blocked;
  testing_support::writeWholeFile(blocked / "Library", "a file");
  EXPECT_FALSE(UserPreferences(blocked.str()).setValueForKey("d", "key", PlistValue("v")));

  for (const char* domain : {"broken", "list"}) {
    SCOPED_TRACE(domain);
    const std::string before = testing_support::readWholeFile(preferences.pathOfDomain(domain));
    EXPECT_EQ(std::nullopt, preferences.valueForKey(domain, "seed"));
    EXPECT_FALSE(preferences.setValueForKey(domain, "key", PlistValue("v")));
    EXPECT_EQ(before, testing_support::readWholeFile(preferences.pathOfDomain(domain)));
  }
}

}  // namespace
