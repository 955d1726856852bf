#include "platform/SystemLog.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <sstream>

#include "common/FileHelpers.h"
#include "common/TempDir.h"
#include "platform/UniqueFd.h"

namespace {

using platform::UniqueFd;
using testing_support::readWholeFile;
using testing_support::TempDir;
namespace SystemLog = platform::SystemLog;

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

UniqueFd openLog(const std::string& path) {
  return UniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
}

// The prefix every line carries: time, host, program[pid], level.
std::string linePattern(const std::string& level, const std::string& text) {
  return "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 1-3][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4} \\S+ "
         "platform-test\\[" + std::to_string(::getpid()) + "\\] <" + level + ">: " + text;
}

class SystemLogTest : public testing::Test {
 protected:
  void SetUp() override { SystemLog::setProgramName("platform-test"); }
  TempDir dir_;
};

TEST_F(SystemLogTest, AttachedFilesGetOneLinePerMessageUntilDetached) {
  const std::string firstPath = dir_ / "first.log";
  const std::string secondPath = dir_ / "second.log";
  UniqueFd first = openLog(firstPath);
  UniqueFd second = openLog(secondPath);

  SystemLog::attachFile(first.get());
  SystemLog::attachFile(first.get());  // attaching twice still writes once
  SystemLog::log(platform::kLogError, "cannot open %s (%d)", "/x", 2);
  SystemLog::attachFile(second.get());
  SystemLog::log(platform::kLogWarning, "warned");
  SystemLog::log(platform::kLogInfo, "ends with its own newline\n");
  SystemLog::detachFile(first.get());
  SystemLog::log(platform::kLogInfo, "only in the second");
  SystemLog::detachFile(second.get());
  SystemLog::log(platform::kLogInfo, "in neither");

  const auto firstLines = linesOf(readWholeFile(firstPath));
  ASSERT_EQ(3u, firstLines.size());
  EXPECT_TRUE(std::regex_match(firstLines[0], std::regex(linePattern("Error", "cannot open /x \\(2\\)"))))
      << firstLines[0];
  EXPECT_TRUE(std::regex_match(firstLines[1], std::regex(linePattern("Warning", "warned"))))
      << firstLines[1];
  EXPECT_TRUE(std::regex_match(firstLines[2], std::regex(linePattern("Info", "ends with its own newline"))))
      << firstLines[2];

  const auto secondLines = linesOf(readWholeFile(secondPath));
  ASSERT_EQ(3u, secondLines.size());
  EXPECT_TRUE(std::regex_match(secondLines[2], std::regex(linePattern("Info", "only in the second"))))
      << secondLines[2];
}

TEST_F(SystemLogTest, TextIsNeverAFormatAndNeverTooLong) {
  const std::string path = dir_ / "install.log";
  UniqueFd fd = openLog(path);
  SystemLog::attachFile(fd.get());
  const std::string huge(1 << 20, 'x');
  SystemLog::log(platform::kLogError, "%s", "%s%n%x %99999d");
  SystemLog::log(platform::kLogInfo, "[%s]", huge.c_str());
  SystemLog::detachFile(fd.get());

  const auto lines = linesOf(readWholeFile(path));
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ("<Error>: %s%n%x %99999d", lines[0].substr(lines[0].find("<Error>")));
  EXPECT_EQ("<Info>: [" + huge + "]", lines[1].substr(lines[1].find("<Info>")));
}

// Several processes appending long lines to one file: every line arrives whole.
TEST_F(SystemLogTest, LinesOfSeveralWritersNeverInterleave) {
  const std::string path = dir_ / "shared.log";
  constexpr int kWriters = 4;
  constexpr int kLines = 100;
  std::vector<pid_t> writers;
  for (int writer = 0; writer < kWriters; ++writer) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      UniqueFd fd = openLog(path);
      SystemLog::attachFile(fd.get());
      const std::string body(6000, static_cast<char>('a' + writer));
      for (int line = 0; line < kLines; ++line) SystemLog::log(platform::kLogInfo, "%s", body.c_str());
      ::_exit(0);
    }
    writers.push_back(pid);
  }
  for (pid_t pid : writers) {
    int status = 0;
    ASSERT_EQ(pid, ::waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  const auto lines = linesOf(readWholeFile(path));
  ASSERT_EQ(static_cast<size_t>(kWriters * kLines), lines.size());
  for (const std::string& line : lines) {
    const std::string body = line.substr(line.find("<Info>: ") + 8);
    ASSERT_EQ(6000u, body.size());
    ASSERT_EQ(std::string::npos, body.find_first_not_of(body[0])) << "a line was torn";
  }
}

}  // namespace
