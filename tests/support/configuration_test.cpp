// The configuration store at its fixed path; this test runs with a private /tmp.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "installer/support/Configuration.h"
#include "installer/support/InstallUtil.h"
#include "platform/PropertyListFile.h"

namespace {

using platform::PlistValue;
using support::Configuration;
using support::kConfigurationStorePath;

std::optional<PlistValue> storedDictionary() {
  return platform::PropertyListFile::read(kConfigurationStorePath);
}

class ConfigurationTest : public ::testing::Test {
 protected:
  void SetUp() override { ::unlink(kConfigurationStorePath); }
};

TEST_F(ConfigurationTest, SavedStoreIsReadBackAndCleanupEmptiesIt) {
  Configuration first;
  first.setPropertyForKey(PlistValue("/Applications/A.app/Contents/MacOS/rcp"), "pathToRcpHome");
  first.saveConfiguration();

  std::optional<PlistValue> stored = storedDictionary();
  ASSERT_TRUE(stored);
  ASSERT_TRUE(stored->asDictionary());
  EXPECT_EQ(stored->asDictionary()->size(), 1u);

  Configuration second;
  EXPECT_EQ(second.getPropertyValueForKey("pathToRcpHome"),
            PlistValue("/Applications/A.app/Contents/MacOS/rcp"));
  second.setPropertyForKey(std::nullopt, "pathToRcpHome");
  EXPECT_FALSE(second.getPropertyValueForKey("pathToRcpHome"));

  second.cleanupConfiguration();
  struct stat st {};
  EXPECT_NE(::lstat(kConfigurationStorePath, &st), 0);
  second.saveConfiguration();
  stored = storedDictionary();
  ASSERT_TRUE(stored);
  EXPECT_EQ(*stored, PlistValue(platform::PlistDictionary{}));
}

TEST_F(ConfigurationTest, PlantedLinkIsReplacedNotWrittenThrough) {
  const std::string victim = "/tmp/victim.plist";
  platform::PlistDictionary victimContents{{"keep", PlistValue("me")}};
  ASSERT_FALSE(platform::PropertyListFile::write(victim, PlistValue(victimContents)));
  ASSERT_EQ(::symlink(victim.c_str(), kConfigurationStorePath), 0);

  Configuration store;
  store.setPropertyForKey(PlistValue("x"), "pathToRcpHome");
  store.saveConfiguration();

  EXPECT_EQ(platform::PropertyListFile::read(victim), PlistValue(victimContents));
  struct stat st {};
  ASSERT_EQ(::lstat(kConfigurationStorePath, &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));

  store.cleanupConfiguration();
  ASSERT_EQ(::symlink(victim.c_str(), kConfigurationStorePath), 0);
  Configuration().cleanupConfiguration();
  EXPECT_EQ(::access(victim.c_str(), F_OK), 0) << "cleanup must remove the link, not its target";
  ::unlink(victim.c_str());
}

TEST_F(ConfigurationTest, UnreadableStoreStaysInertAndIsNotOverwritten) {
  { std::ofstream(kConfigurationStorePath) << "not a property list"; }
  Configuration store;
  store.setPropertyForKey(PlistValue("x"), "pathToRcpHome");
  store.saveConfiguration();
  std::ifstream in(kConfigurationStorePath);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text, "not a property list");
}

}  // namespace
