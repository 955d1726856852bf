// The installer pasteboard's error record and the per-user trace switch. Runs with a private
// /tmp, where the pasteboard and the trace file live.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "common/TestUser.h"
#include "installer/support/InstallUtil.h"
#include "installer/support/SupportConstants.h"
#include "platform/PropertyListFile.h"
#include "platform/SystemLog.h"
#include "platform/UserPreferences.h"

namespace {

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

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
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
  ASSERT_EQ(::lstat("/tmp/rcp-pasteboards-0", &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(ErrorChannelTest, PlantedPasteboardFolderIsNotUsed) {
  ::unsetenv("XDG_RUNTIME_DIR");
  ASSERT_EQ(::system("rm -rf /tmp/rcp-pasteboards-0 /tmp/elsewhere && mkdir -m 0777 /tmp/elsewhere"), 0);
  ASSERT_EQ(::symlink("/tmp/elsewhere", "/tmp/rcp-pasteboards-0"), 0);
  InstallUtil::initInternalPasteboard(true);
  EXPECT_FALSE(InstallUtil::getErrorMessage());
  EXPECT_EQ(readFile("/tmp/elsewhere/x"), "");
  struct stat st {};
  EXPECT_NE(::lstat("/tmp/elsewhere/pasteboards", &st), 0) << "nothing written through the link";
  ASSERT_EQ(::system("rm -rf /tmp/rcp-pasteboards-0 /tmp/elsewhere"), 0);
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

  { std::ofstream(support::kTraceFilePath) << "old run\n"; }
  EXPECT_TRUE(InstallUtil::shouldWriteTraces());
  EXPECT_EQ(::geteuid(), 0u) << "the effective user is restored";
  InstallUtil::setupTraceOutput();
  platform::SystemLog::log(platform::kLogInfo, "%s", "traced line");
  std::string trace = readFile(support::kTraceFilePath);
  EXPECT_EQ(trace.find("old run"), std::string::npos) << "the trace file is truncated";
  EXPECT_NE(trace.find("traced line"), std::string::npos);
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
                        {PlistValue(0), false},     {PlistValue(false), false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::PropertyListFile::toXml(c.value));
    setTracePreferenceAsUser(user, c.value);
    EXPECT_EQ(InstallUtil::shouldWriteTraces(), c.on);
  }
}

}  // namespace
