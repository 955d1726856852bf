// The installer pasteboard's error record and the per-user trace switch. Runs with a private
// /tmp, where the pasteboard and the trace file live.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/FileHelpers.h"
#include "common/FileAccessOverride.h"
#include "common/TestUser.h"
#include "installer/support/InstallUtil.h"
#include "installer/support/SupportConstants.h"
#include "platform/NamedPasteboard.h"
#include "platform/PropertyListFile.h"
#include "platform/SystemLog.h"
#include "platform/UserPreferences.h"

namespace {

using testing_support::readWholeFile;

using platform::PlistArray;
using platform::PlistDictionary;
using platform::PlistValue;
namespace InstallUtil = support::InstallUtil;

PlistValue resetRecord() {
  return PlistValue(PlistDictionary{{"ERROR_CODE", PlistValue(0)},
                                    {"ERROR_DETAILS", PlistValue(PlistArray{})}});
}

// The user's own preferences are written as that user, as the user's own programs would.
void setTracePreferenceAsUser(const testing_support::TestUser& user, const PlistValue& value) {
  ASSERT_EQ(::seteuid(user.uid), 0);
  EXPECT_TRUE(platform::UserPreferences(user.home)
                  .setValueForKey(support::kInstallPreferencesDomain, support::kTraceEnableKey, value));
  ASSERT_EQ(::seteuid(0), 0);
}

TEST(ErrorChannelTest, ResetDeclareAndSendFollowTheRecordsLife) {
  ::unsetenv("XDG_RUNTIME_DIR");
  InstallUtil::initInternalPasteboard(true);
  EXPECT_EQ(InstallUtil::getErrorMessage(), resetRecord());

  PlistValue failure(PlistDictionary{{"ERROR_CODE", PlistValue(190)},
                                     {"ERROR_DETAILS", PlistValue(PlistArray{"detail"})}});
  InstallUtil::sendErrorMessage(failure);
  EXPECT_EQ(InstallUtil::getErrorMessage(), failure);
  InstallUtil::sendErrorMessage(std::nullopt);
  EXPECT_EQ(InstallUtil::getErrorMessage(), failure) << "sending none changes nothing";

  InstallUtil::initInternalPasteboard(false);
  EXPECT_FALSE(InstallUtil::getErrorMessage()) << "declaring the type empties the pasteboard";

  struct stat st {};
  ASSERT_EQ(::lstat("/run/rcp-pasteboards/0", &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(ErrorChannelTest, PlantedPasteboardFolderIsNotUsed) {
  ::unsetenv("XDG_RUNTIME_DIR");
  ASSERT_EQ(::system("rm -rf /run/rcp-pasteboards /tmp/elsewhere && mkdir -m 0777 /tmp/elsewhere && "
                     "mkdir -m 0755 /run/rcp-pasteboards"), 0);
  ASSERT_EQ(::symlink("/tmp/elsewhere", "/run/rcp-pasteboards/0"), 0);
  InstallUtil::initInternalPasteboard(true);
  EXPECT_FALSE(InstallUtil::getErrorMessage());
  EXPECT_TRUE(std::filesystem::is_empty("/tmp/elsewhere")) << "nothing written through the link";
  platform::NamedPasteboard planted("rcp.test.pasteboard");
  EXPECT_FALSE(planted.usable());
  EXPECT_FALSE(planted.declareTypes({"t"}));
  EXPECT_FALSE(planted.setPropertyListForType(PlistValue(1), "t"));
  EXPECT_FALSE(planted.propertyListForType("t"));
  EXPECT_TRUE(planted.declaredTypes().empty());
  ASSERT_EQ(::system("rm -rf /run/rcp-pasteboards /tmp/elsewhere"), 0);
}

// Each declared type is kept in its own file, named with every character other than letters,
// digits, "_" and "-" written as %XX (the name other processes of the user look for); data goes
// only under a declared type, and a value XML cannot carry is refused.
TEST(ErrorChannelTest, PasteboardTypesKeepTheirOwnFiles) {
  ::unsetenv("XDG_RUNTIME_DIR");
  ASSERT_EQ(::system("rm -rf /run/rcp-pasteboards"), 0);
  platform::NamedPasteboard pasteboard("rcp.test.pasteboard");
  const std::vector<std::string> types = {"AZaz09_-", "a/b", "..", "%"};
  ASSERT_TRUE(pasteboard.declareTypes(types));
  for (std::size_t i = 0; i < types.size(); ++i) {
    EXPECT_TRUE(pasteboard.setPropertyListForType(PlistValue(static_cast<int>(i)), types[i])) << types[i];
  }
  EXPECT_FALSE(pasteboard.setPropertyListForType(PlistValue(1), "undeclared"));
  EXPECT_FALSE(pasteboard.setPropertyListForType(PlistValue(std::string("nul\0", 4)), "%"));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator("/run/rcp-pasteboards/0/pasteboards/rcp%2Etest%2Epasteboard")) {
    names.push_back(entry.path().filename());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"declared-types.plist", "type-%25.plist", "type-%2E%2E.plist",
                                             "type-AZaz09_-.plist", "type-a%2Fb.plist"}));
  for (std::size_t i = 0; i < types.size(); ++i) {
    EXPECT_EQ(pasteboard.propertyListForType(types[i]), PlistValue(static_cast<int>(i))) << types[i];
  }
  ASSERT_EQ(::system("rm -rf /run/rcp-pasteboards"), 0);
}

// Entries below the folder (links not followed) whose owner is not the user, or that are open to
// others, as "path owner mode".
std::vector<std::string> entriesNotPrivateTo(const std::string& folder, uid_t uid) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    struct stat st {};
    if (::lstat(entry.path().c_str(), &st) != 0 || st.st_uid != uid ||
        (S_ISDIR(st.st_mode) && (st.st_mode & 0777) != 0700)) {
      found.push_back(entry.path().string() + " " + std::to_string(st.st_uid) + " " +
                      std::to_string(st.st_mode & 0777));
    }
  }
  return found;
}

// The record as a process of the user reads it: a child that has dropped every root id.
bool userReadsRecord(const testing_support::TestUser& user, const PlistValue& expected) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(user.gid, user.gid, user.gid) != 0 ||
        ::setresuid(user.uid, user.uid, user.uid) != 0) {
      ::_exit(2);
    }
    ::_exit(InstallUtil::getErrorMessage() == expected ? 0 : 1);
  }
  int status = 0;
  return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Root writes the record for the logged-in user: in the user's folder (chosen by the user id,
// not by an inherited environment), owned by the user, where the user's own process reads it.
TEST(ErrorChannelTest, ARootRunsRecordReachesTheLoggedInUser) {
  RCP_WITH_TEST_USER(user);
  ::setenv("USER", user.name.c_str(), 1);
  const std::string inherited = user.scratch + "/inherited-runtime";
  ASSERT_EQ(::mkdir(inherited.c_str(), 0700), 0);
  ASSERT_EQ(::chown(inherited.c_str(), user.uid, user.gid), 0);
  ::setenv("XDG_RUNTIME_DIR", inherited.c_str(), 1);
  PlistValue failure(PlistDictionary{{"ERROR_CODE", PlistValue(190)},
                                     {"ERROR_DETAILS", PlistValue(PlistArray{"detail"})}});

  const std::string fallback = "/run/rcp-pasteboards/" + std::to_string(user.uid);
  const std::string runUser = "/run/user/" + std::to_string(user.uid);
  // An earlier root run left the fallback folder root's own: it is handed to the user.
  ASSERT_EQ(::mkdir("/run/rcp-pasteboards", 0755), 0);
  ASSERT_EQ(::mkdir(fallback.c_str(), 0700), 0);
  for (const std::string& folder : {fallback, runUser}) {
    SCOPED_TRACE(folder);
    if (folder == runUser) {
      ASSERT_EQ(::mkdir(runUser.c_str(), 0700), 0);
      ASSERT_EQ(::chown(runUser.c_str(), user.uid, user.gid), 0);
    }
    InstallUtil::initInternalPasteboard(true);
    InstallUtil::sendErrorMessage(failure);
    EXPECT_TRUE(userReadsRecord(user, failure));
    EXPECT_EQ(entriesNotPrivateTo(folder, user.uid), std::vector<std::string>{});
    struct stat top {};
    ASSERT_EQ(::stat(folder.c_str(), &top), 0);
    EXPECT_EQ(top.st_uid, user.uid);
    EXPECT_TRUE(std::filesystem::exists(folder + "/pasteboards/INSTALLATION_INTERNAL_PASTEBOARD"));
    EXPECT_TRUE(std::filesystem::is_empty(inherited)) << "nothing in the inherited runtime folder";
  }
}

// Without a private /run/user/<uid>, the record goes below /run/rcp-pasteboards, which root
// makes and no one else may write: a third user's folder in /tmp where the fallback used to be
// is never used, and a parent that is not root's alone is refused with a log line.
TEST(ErrorChannelTest, AThirdUserCannotSquatThePasteboard) {
  RCP_WITH_TEST_USER(user);
  ::setenv("USER", "root", 1);
  ::unsetenv("XDG_RUNTIME_DIR");
  ASSERT_EQ(::system("rm -rf /run/rcp-pasteboards /run/user/0 /tmp/rcp-pasteboards-0"), 0);
  ASSERT_EQ(::seteuid(user.uid), 0);
  ASSERT_EQ(::mkdir("/tmp/rcp-pasteboards-0", 0777), 0);
  ASSERT_EQ(::seteuid(0), 0);
  const mode_t savedMask = ::umask(077);  // the parent is 0755 whatever the umask
  InstallUtil::initInternalPasteboard(true);
  ::umask(savedMask);
  EXPECT_EQ(InstallUtil::getErrorMessage(), resetRecord());
  struct stat st {};
  ASSERT_EQ(::lstat("/run/rcp-pasteboards", &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  EXPECT_TRUE(std::filesystem::is_empty("/tmp/rcp-pasteboards-0"));

  const std::string logPath = user.scratch + "/refusals.log";
  const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  platform::SystemLog::attachFile(log);
  const struct {
    std::string owner;
    const char* mode;
  } parents[] = {{std::to_string(user.uid), "0755"}, {"0", "0777"}, {"0", "0775"}};
  for (const auto& parent : parents) {
    SCOPED_TRACE(parent.owner + " " + parent.mode);
    ASSERT_EQ(::system(("rm -rf /run/rcp-pasteboards && mkdir -m " + std::string(parent.mode) +
                        " /run/rcp-pasteboards && mkdir -m 0700 /run/rcp-pasteboards/0 && chown " +
                        parent.owner + " /run/rcp-pasteboards").c_str()), 0);
    EXPECT_FALSE(platform::NamedPasteboard(support::kInternalPasteboardName).usable());
  }
  platform::SystemLog::detachFile(log);
  ::close(log);
  const std::string refusals = readWholeFile(logPath);
  EXPECT_NE(refusals.find("Refusing the pasteboard folder /run/rcp-pasteboards: owner " +
                          std::to_string(user.uid) + ", mode 755"), std::string::npos) << refusals;
  EXPECT_NE(refusals.find("owner 0, mode 777;"), std::string::npos) << refusals;
  EXPECT_NE(refusals.find("owner 0, mode 775;"), std::string::npos) << refusals;
}

TEST(TraceSwitchTest, OffForAUserWithoutThePreference) {
  RCP_WITH_TEST_USER(user);
  ::setenv("USER", user.name.c_str(), 1);
  ::unlink(support::kTraceFilePath);
  EXPECT_FALSE(InstallUtil::shouldWriteTraces());
  InstallUtil::setupTraceOutput();
  EXPECT_NE(::access(support::kTraceFilePath, F_OK), 0) << "no trace file when tracing is off";
  EXPECT_EQ(::geteuid(), 0u);
}

TEST(TraceSwitchTest, OnForTheLoggedInUserAndLaterLinesReachTheTraceFile) {
  RCP_WITH_TEST_USER(user);
  ::setenv("USER", user.name.c_str(), 1);
  setTracePreferenceAsUser(user, PlistValue(true));
  testing_support::dropFileAccessOverride();
  ASSERT_FALSE(platform::UserPreferences(user.home)
                   .valueForKey(support::kInstallPreferencesDomain, support::kTraceEnableKey))
      << "root must not be able to read the user's preferences for this test to prove anything";

  // The user made the trace file first, open to everyone: root makes its own in its place.
  ASSERT_EQ(::seteuid(user.uid), 0);
  const mode_t savedMask = ::umask(0);
  { std::ofstream(support::kTraceFilePath) << "old run\n"; }
  ::umask(savedMask);
  const int theirs = ::open(support::kTraceFilePath, O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::seteuid(0), 0);
  EXPECT_TRUE(InstallUtil::shouldWriteTraces());
  EXPECT_EQ(::geteuid(), 0u) << "the effective user is restored";
  InstallUtil::setupTraceOutput();
  platform::SystemLog::log(platform::kLogInfo, "%s", "traced line");
  std::string trace = readWholeFile(support::kTraceFilePath);
  EXPECT_EQ(trace.find("old run"), std::string::npos) << "the trace file is truncated";
  EXPECT_NE(trace.find("traced line"), std::string::npos);
  struct stat st {};
  ASSERT_EQ(::lstat(support::kTraceFilePath, &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  EXPECT_EQ(readWholeFile("/proc/self/fd/" + std::to_string(theirs)), "old run\n") << "theirs is never written";
}

TEST(TraceSwitchTest, TextAndNumberPreferencesReadAsThePlatformReadsThem) {
  RCP_WITH_TEST_USER(user);
  ::setenv("USER", user.name.c_str(), 1);
  struct Case {
    PlistValue value;
    bool on;
  };
  const Case cases[] = {{PlistValue("YES"), true},  {PlistValue("  +007"), true},
                        {PlistValue("true"), true}, {PlistValue("no"), false},
                        {PlistValue("000"), false}, {PlistValue(2), true},
                        {PlistValue(0), false},     {PlistValue(false), false},
                        {PlistValue(0.0), false},   {PlistValue(1.0), true},
                        {PlistValue(0.25), true},   {PlistValue(platform::PlistArray{PlistValue(true)}), false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::PropertyListFile::toXml(c.value));
    setTracePreferenceAsUser(user, c.value);
    EXPECT_EQ(InstallUtil::shouldWriteTraces(), c.on);
  }
}

}  // namespace
