// The configuration store at its fixed path; this test runs with a private /tmp.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <sched.h>
#include <sys/mount.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "common/FileHelpers.h"
#include "common/TestUser.h"
#include "installer/support/Configuration.h"
#include "installer/formats/InstallManifest.h"
#include "installer/support/InstallUtil.h"
#include "installer/formats/JavaProperties.h"
#include "platform/PropertyListFile.h"

namespace {

using testing_support::readWholeFile;

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
  EXPECT_TRUE(first.saveConfiguration());

  std::optional<PlistValue> stored = storedDictionary();
  ASSERT_TRUE(stored);
  ASSERT_TRUE(stored->asDictionary());
  EXPECT_EQ(stored->asDictionary()->size(), 1u);

  Configuration second;
  EXPECT_EQ(second.getPropertyValueForKey("pathToRcpHome"),
            PlistValue("/Applications/A.app/Contents/MacOS/rcp"));
  second.setPropertyForKey(std::nullopt, "pathToRcpHome");
  EXPECT_FALSE(second.getPropertyValueForKey("pathToRcpHome"));
  second.setPropertyForKey(PlistValue("x"), "other");

  second.cleanupConfiguration();
  EXPECT_FALSE(second.getPropertyValueForKey("other"));
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

// A file of ours that is no property list (or too large to be one) stays inert and is not
// overwritten; a hard link or a FIFO at the path is no store: saving replaces the entry.
TEST_F(ConfigurationTest, WhatLiesAtThePathDecidesWhetherItIsTheStore) {
  const std::string other = "/tmp/other-file";
  struct Case {
    const char* name;
    std::function<void()> plant;
    bool saved;
  };
  const std::string tooLarge = "<plist><dict/></plist>" + std::string(1 << 20, '\n');
  const Case cases[] = {
      {"no property list", [] { std::ofstream(kConfigurationStorePath) << "not a property list"; }, false},
      {"larger than a store", [&] { std::ofstream(kConfigurationStorePath) << tooLarge; }, false},
      {"a hard link", [&] {
         std::ofstream(other) << "<plist><dict/></plist>";
         ASSERT_EQ(::link(other.c_str(), kConfigurationStorePath), 0);
       }, true},
      {"a FIFO", [] { ASSERT_EQ(::mkfifo(kConfigurationStorePath, 0644), 0); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ::unlink(kConfigurationStorePath);
    c.plant();
    struct stat before {};
    ASSERT_EQ(::lstat(kConfigurationStorePath, &before), 0);
    errno = EIO;  // the store must not read an earlier call's errno as its own answer
    Configuration store;
    store.setPropertyForKey(PlistValue("x"), "pathToRcpHome");
    EXPECT_EQ(store.saveConfiguration(), c.saved);
    struct stat after {};
    ASSERT_EQ(::lstat(kConfigurationStorePath, &after), 0);
    EXPECT_EQ(after.st_ino == before.st_ino, !c.saved);
    if (c.saved) {
      EXPECT_EQ(Configuration().getPropertyValueForKey("pathToRcpHome"), PlistValue("x"));
    } else {
      EXPECT_EQ(after.st_size, before.st_size);
    }
  }
  EXPECT_EQ(readWholeFile(other), "<plist><dict/></plist>");
}

// A third user's store at the fixed path, made before the run (0666, so they could edit what
// root wrote into it): it is not read as ours, whatever it holds, and saving makes a store of
// root's own (mode 0644) in its place while their file is left unwritten.
TEST_F(ConfigurationTest, AnotherUsersStoreIsNeitherReadNorKept) {
  RCP_WITH_TEST_USER(user);
  const std::string planted[] = {
      platform::PropertyListFile::toXml(PlistValue(platform::PlistDictionary{{"pathToRcpHome", PlistValue("/planted")}})),
      "plain text, no property list",
  };
  for (const std::string& contents : planted) {
    SCOPED_TRACE(contents);
    ::unlink(kConfigurationStorePath);
    ASSERT_EQ(::seteuid(user.uid), 0);
    const mode_t saved = ::umask(0);
    { std::ofstream(kConfigurationStorePath) << contents; }
    ::umask(saved);
    const int theirs = ::open(kConfigurationStorePath, O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::seteuid(0), 0);
    ASSERT_GE(theirs, 0);

    Configuration store;
    EXPECT_FALSE(store.getPropertyValueForKey("pathToRcpHome"));
    store.setPropertyForKey(PlistValue("/Applications/A.app/Contents/MacOS/rcp"), "pathToRcpHome");
    EXPECT_TRUE(store.saveConfiguration());

    struct stat st {};
    ASSERT_EQ(::lstat(kConfigurationStorePath, &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(Configuration().getPropertyValueForKey("pathToRcpHome"),
              PlistValue("/Applications/A.app/Contents/MacOS/rcp"));
    EXPECT_EQ(readWholeFile("/proc/self/fd/" + std::to_string(theirs)), contents);
    ::close(theirs);
  }
}

// Writes until the file system is full.
void fillUp(const std::string& path) {
  std::ofstream filler(path, std::ios::binary);
  const std::string block(4096, 'f');
  while (filler.write(block.data(), block.size())) filler.flush();
}

// Every record writer on a full disk (a small tmpfs over this test's private /tmp): the failure
// is reported, the old file is left whole and no temporary file stays behind.
TEST(RecordWritersOnAFullDisk, ReportTheFailureAndKeepTheOldFileWhole) {
  const std::string big(64 * 1024, 'n');
  const std::string oldManifest = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<install pad=\"" +
                                  std::string(32 * 1024, 'o') + "\"/>\n";
  struct Row {
    const char* writer;
    std::string path;
    std::string oldBytes;
    std::function<bool(const std::string&)> write;
  };
  const Row rows[] = {
      {"property list", "/tmp/addonInfo.plist",
       platform::PropertyListFile::toXml(PlistValue(platform::PlistDictionary{{"old", PlistValue(1)}})),
       [&](const std::string& path) {
         return !platform::PropertyListFile::write(
             path, PlistValue(platform::PlistDictionary{{"new", PlistValue(big)}}));
       }},
      {"properties file", "/tmp/rcplauncher.properties", "old=1\n",
       [&](const std::string& path) {
         support::JavaProperties properties(path);
         properties.setPropertyForKey(big, "new");
         return properties.savePropertiesToFile();
       }},
      {"manifest", "/tmp/install.xml", oldManifest,
       [](const std::string& path) { return support::InstallManifest(path).saveInstallManifestAs(); }},
      {"configuration store", kConfigurationStorePath,
       platform::PropertyListFile::toXml(PlistValue(platform::PlistDictionary{{"old", PlistValue(1)}})),
       [&](const std::string&) {
         Configuration store;
         store.setPropertyForKey(PlistValue(big), "P_RCPDATA");
         return store.saveConfiguration();
       }},
  };
  // A mount namespace of this process's own, so that the small /tmp never reaches the
  // machine's however the test is started.
  ASSERT_EQ(0, ::unshare(CLONE_NEWNS));
  ASSERT_EQ(0, ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.writer);
    ASSERT_EQ(0, ::mount("tmpfs", "/tmp", "tmpfs", 0, "size=256k,mode=1777"));
    { std::ofstream(row.path, std::ios::binary) << row.oldBytes; }
    fillUp("/tmp/filler");

    EXPECT_FALSE(row.write(row.path));
    EXPECT_EQ(row.oldBytes, readWholeFile(row.path));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("/tmp")) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected = {std::filesystem::path(row.path).filename().string(), "filler"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, names);
    ASSERT_EQ(0, ::umount2("/tmp", MNT_DETACH));
  }
}

}  // namespace
