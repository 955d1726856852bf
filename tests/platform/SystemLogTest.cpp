#include "platform/SystemLog.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
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

// The machine's name, as a regular expression.
std::string hostPattern() {
  char name[256] = {};
  ::gethostname(name, sizeof name - 1);
  return std::regex_replace(std::string(name), std::regex("[.]"), "\\.");
}

// The prefix every line carries: time, host, program[pid], level.
std::string linePattern(const std::string& level, const std::string& text) {
  return "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 1-3][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4} " + hostPattern() + " "
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

// A value can neither end its line and start a forged one nor reach a terminal as an escape.
TEST_F(SystemLogTest, ControlCharactersAreEscaped) {
  const std::string path = dir_ / "install.log";
  UniqueFd fd = openLog(path);
  SystemLog::attachFile(fd.get());
  const struct {
    const char* value;
    const char* written;
  } rows[] = {
      {"pkg\nMon Dec  7 19:52:48 2026 host postflightAddon[1] <Info>: forged", "pkg\\nMon Dec  7 19:52:48 2026 host postflightAddon[1] <Info>: forged"},
      {"a\rb\tc", "a\\rb\\tc"},
      {"\x1b[31mred\x1b[0m", "\\x1b[31mred\\x1b[0m"},
      {"\x01\x1f\x7f \x80\xc3\xa9 ~", "\\x01\\x1f\\x7f \x80\xc3\xa9 ~"},
      {"kept \\n \\x41", "kept \\n \\x41"},
      {"two ends\n\n", "two ends\\n"},
  };
  for (const auto& row : rows) SystemLog::log(platform::kLogInfo, "value %s", row.value);
  SystemLog::detachFile(fd.get());

  const auto lines = linesOf(readWholeFile(path));
  ASSERT_EQ(std::size(rows), lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(std::string("<Info>: value ") + rows[i].written, lines[i].substr(lines[i].find("<Info>")));
  }
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

// What reaches the system log's socket, read in a child with a private /dev (a tmpfs of its
// own mount namespace, so the machine's /dev is left alone); one datagram per line.
std::vector<std::string> systemLogDatagrams(const std::function<void()>& logSome) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return {"no pipe"};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    const int socketFd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, "/dev/log");
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", "/dev", "tmpfs", 0, nullptr) != 0 ||
        ::bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ::_exit(2);
    }
    logSome();
    char datagram[4096];
    for (ssize_t n; (n = ::recv(socketFd, datagram, sizeof datagram, MSG_DONTWAIT)) > 0;) {
      std::string line(datagram, static_cast<std::size_t>(n));
      line += '\n';
      if (::write(pipeFds[1], line.data(), line.size()) != static_cast<ssize_t>(line.size())) ::_exit(3);
    }
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  UniqueFd reading(pipeFds[0]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(reading.get(), buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {"the child failed"};
  return linesOf(text);
}

// Each message reaches the system log, user facility, its level kept within syslog's eight,
// under the program's name and process id, whether or not files are attached.
TEST(SystemLogSocketTest, EachMessageReachesTheSystemLogWithItsLevel) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounts a private /dev: needs root";
  const std::vector<std::string> datagrams = systemLogDatagrams([] {
    SystemLog::setProgramName("log-probe");
    SystemLog::log(platform::kLogWarning, "warned %d", 1);
    SystemLog::log(42, "beyond debug");
    SystemLog::log(-1, "below emergency");
    SystemLog::setProgramName("renamed-probe");
    SystemLog::log(platform::kLogInfo, "%s", "renamed");
    SystemLog::log(platform::kLogError, "%s", "one\nline\x1b");
  });
  const std::string stamp = "[A-Z][a-z]{2} [ 0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} ";
  const std::vector<std::string> patterns = {"<12>" + stamp + "log-probe\\[[0-9]+\\]: warned 1",
                                             "<15>" + stamp + "log-probe\\[[0-9]+\\]: beyond debug",
                                             "<8>" + stamp + "log-probe\\[[0-9]+\\]: below emergency",
                                             "<14>" + stamp + "renamed-probe\\[[0-9]+\\]: renamed",
                                             "<11>" + stamp + "renamed-probe\\[[0-9]+\\]: one\\\\nline\\\\x1b"};
  ASSERT_EQ(datagrams.size(), patterns.size()) << (datagrams.empty() ? "" : datagrams.front());
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    EXPECT_TRUE(std::regex_match(datagrams[i], std::regex(patterns[i]))) << datagrams[i];
  }
}

}  // namespace
