// RegisterFile against register files at their fixed place, in a private
// "/Library/Application Support".
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/FileHelpers.h"
#include "common/PlistPrinting.h"
#include "common/PrivateNamespace.h"
#include "installer/hotfix/RegisterFile.h"
#include "installer/files/PathText.h"
#include "platform/PropertyListFile.h"
#include "platform/SystemLog.h"

namespace {

namespace fs = std::filesystem;
using hotfix::RegisterFile;
using platform::PlistDictionary;
using platform::PlistValue;
using testing_support::bytesOf;
using testing_support::LogLine;

const fs::path kMakerFolder = "/Library/Application Support/Ostra";

fs::path registerFileOf(const std::string& product) { return kMakerFolder / product / "framework.plist"; }

void writeRegisterFile(const std::string& product, const PlistValue& contents) {
  fs::create_directories(kMakerFolder / product);
  ASSERT_FALSE(platform::PropertyListFile::write(registerFileOf(product).string(), contents));
}

// The system log's lines while it lives, through a pipe.
class LogCapture {
 public:
  LogCapture() {
    if (::pipe2(fds_, O_CLOEXEC) != 0) std::abort();
    platform::SystemLog::attachFile(fds_[1]);
  }
  ~LogCapture() { stop(); ::close(fds_[0]); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<LogLine> lines() {
    stop();
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fds_[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    return testing_support::parseLogLines(text);
  }

 private:
  void stop() {
    if (fds_[1] < 0) return;
    platform::SystemLog::detachFile(fds_[1]);
    ::close(fds_[1]);
    fds_[1] = -1;
  }
  int fds_[2] = {-1, -1};
};

std::vector<std::string> describe(const std::vector<LogLine>& lines) {
  std::vector<std::string> out;
  for (const LogLine& line : lines) out.push_back(line.level + ": " + line.text);
  return out;
}

class RegisterFileTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::remove_all(kMakerFolder); }
};

TEST_F(RegisterFileTest, GettersGiveTheTextsOfTheirKeysOrNone) {
  writeRegisterFile("Tallo", PlistValue(PlistDictionary{
                                 {"oldInstallLocation", PlistValue("/Applications/Tallo.app/Contents/MacOS")},
                                 {"pathToProduct", PlistValue("/Applications/Tallo.app")},
                                 {"hotfixVersion", PlistValue("3.0.1.2")}}));
  // Only texts count: a number under a key reads as none.
  writeRegisterFile("Numbers", PlistValue(PlistDictionary{{"oldInstallLocation", PlistValue(7)},
                                                          {"hotfixVersion", PlistValue(2)}}));
  writeRegisterFile("NoLocation", PlistValue(PlistDictionary{{"pathToProduct", PlistValue("/A.app")}}));
  writeRegisterFile("List", PlistValue(platform::PlistArray{PlistValue("oldInstallLocation")}));

  struct Case {
    std::string product;
    std::optional<std::string> location, rcpHome, productPath, hotfix;
  };
  const std::vector<Case> cases = {
      {"Tallo", "/Applications/Tallo.app/Contents/MacOS", "/Applications/Tallo.app/Contents/MacOS/rcp",
       "/Applications/Tallo.app", "3.0.1.2"},
      {"Numbers", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
      {"NoLocation", std::nullopt, std::nullopt, "/A.app", std::nullopt},
      {"List", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
      {"Missing", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.product);
    RegisterFile file(c.product);
    EXPECT_EQ(file.getRegisterDirectory(), "/Library/Application Support/Ostra/" + c.product);
    EXPECT_EQ(file.getOldInstallLocation(), c.location);
    EXPECT_EQ(file.getPathToRcpHome(), c.rcpHome);
    EXPECT_EQ(file.getProductPath(), c.productPath);
    EXPECT_EQ(file.getHotfixVersion(), c.hotfix);
  }
}

TEST_F(RegisterFileTest, RcpHomeLessItsLastComponentIsTheStoredLocation) {
  const std::vector<std::string> locations = {"/Applications/Tallo.app/Contents/MacOS",
                                              "/Volumes/Disk 2/Tallo.app/Contents/MacOS", "/",
                                              "Applications/Tallo.app/Contents/MacOS"};
  for (const std::string& location : locations) {
    SCOPED_TRACE(location);
    writeRegisterFile("Tallo", PlistValue(PlistDictionary{{"oldInstallLocation", PlistValue(location)}}));
    std::optional<std::string> rcpHome = RegisterFile("Tallo").getPathToRcpHome();
    ASSERT_TRUE(rcpHome);
    EXPECT_EQ(support::path_text::lastPathComponent(*rcpHome), "rcp");
    EXPECT_EQ(support::path_text::deletingLastPathComponent(*rcpHome), location);
  }
  // A trailing separator is not doubled before "rcp".
  writeRegisterFile("Tallo", PlistValue(PlistDictionary{{"oldInstallLocation", PlistValue("/Apps/T.app/")}}));
  EXPECT_EQ(RegisterFile("Tallo").getPathToRcpHome(), "/Apps/T.app/rcp");
}

TEST_F(RegisterFileTest, UpdateHotfixVersionSavesToTheFileReadOrOnlyLogsWhyNot) {
  const PlistDictionary kept{{"oldInstallLocation", PlistValue("/Applications/Tallo.app/Contents/MacOS")},
                             {"hotfixVersion", PlistValue("3.0.1.1")}};
  {
    SCOPED_TRACE("register file");
    writeRegisterFile("Tallo", PlistValue(kept));
    LogCapture log;
    RegisterFile("Tallo").updateHotfixVersion("3.0.1.2");
    EXPECT_EQ(describe(log.lines()), std::vector<std::string>{"Info: Update CURRENT_HOTFIX_VERSION to 3.0.1.2"});
    PlistDictionary expected = kept;
    expected["hotfixVersion"] = PlistValue("3.0.1.2");
    EXPECT_EQ(platform::PropertyListFile::read(registerFileOf("Tallo").string()), PlistValue(expected));
    EXPECT_EQ(RegisterFile("Tallo").getHotfixVersion(), "3.0.1.2");
  }
  const std::vector<std::string> bothWarnings = {"Warning: Fail to update CURRENT_HOTFIX_VERSION",
                                                 "Warning: Fail to save CURRENT_HOTFIX_VERSION"};
  {
    SCOPED_TRACE("no register file: nothing is created");
    LogCapture log;
    RegisterFile("Absent").updateHotfixVersion("3.0.1.2");
    EXPECT_EQ(describe(log.lines()), bothWarnings);
    EXPECT_FALSE(fs::exists(kMakerFolder / "Absent"));
  }
  {
    SCOPED_TRACE("register file that is no dictionary: left as it is");
    writeRegisterFile("List", PlistValue(platform::PlistArray{PlistValue("x")}));
    std::optional<std::string> before = bytesOf(registerFileOf("List"));
    LogCapture log;
    RegisterFile("List").updateHotfixVersion("3.0.1.2");
    EXPECT_EQ(describe(log.lines()), bothWarnings);
    EXPECT_EQ(bytesOf(registerFileOf("List")), before);
  }
}

}  // namespace
