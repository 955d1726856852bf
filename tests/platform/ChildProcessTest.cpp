#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <gtest/gtest.h>

#include "common/ScopedEnvironment.h"
#include "common/TempDir.h"

namespace {

namespace fs = std::filesystem;
using platform::runChildAndWait;
using testing_support::ScopedEnvironment;
using testing_support::TempDir;

class ScopedWorkingFolder {
 public:
  explicit ScopedWorkingFolder(const fs::path& folder) : previous_(fs::current_path()) { fs::current_path(folder); }
  ~ScopedWorkingFolder() { fs::current_path(previous_); }
  ScopedWorkingFolder(const ScopedWorkingFolder&) = delete;
  ScopedWorkingFolder& operator=(const ScopedWorkingFolder&) = delete;

 private:
  fs::path previous_;
};

std::vector<std::string> readReport(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> fields;
  std::string field;
  std::istringstream stream(text);
  while (std::getline(stream, field, '\0')) fields.push_back(field);
  return fields;
}

void writeFile(const std::string& path, const std::string& text, mode_t mode) {
  std::ofstream(path) << text;
  fs::permissions(path, static_cast<fs::perms>(mode));
}

TEST(ChildProcessTest, PassesArgumentsUnchangedAndInheritsEverythingButOutput) {
  TempDir temp;
  ScopedEnvironment report("CHILD_HELPER_REPORT", temp / "report");
  ScopedEnvironment probe("CHILD_HELPER_PROBE", "inherited value");
  const std::vector<std::string> arguments = {
      "two words", "\"double\" and 'single'", "$(touch pwned)", "*", "", "back\\slash",
      "line\nbreak", "tab\there", "semi;colon|pipe&", "caf\xc3\xa9", "-rcpLauncherWait"};
  std::vector<std::string> argv{CHILD_HELPER_PATH};
  argv.insert(argv.end(), arguments.begin(), arguments.end());

  ASSERT_EQ(runChildAndWait(argv), 0);

  std::vector<std::string> fields = readReport(temp / "report");
  ASSERT_EQ(fields.size(), 5 + arguments.size());
  EXPECT_EQ(fields[0], fs::current_path().string());
  EXPECT_EQ(fields[1], fs::read_symlink("/proc/self/fd/0").string());
  EXPECT_EQ(fields[2], "/dev/null");
  EXPECT_EQ(fields[3], "/dev/null");
  EXPECT_EQ(fields[4], "inherited value");
  EXPECT_EQ(std::vector<std::string>(fields.begin() + 5, fields.end()), arguments);
  EXPECT_FALSE(fs::exists("pwned"));
}

TEST(ChildProcessTest, GivesTheExitStatus) {
  for (int status : {0, 1, 7, 190, 255}) {
    SCOPED_TRACE(status);
    ScopedEnvironment exitCode("CHILD_HELPER_EXIT", std::to_string(status));
    EXPECT_EQ(runChildAndWait({CHILD_HELPER_PATH}), status);
  }
}

TEST(ChildProcessTest, GivesNoneWhenTheChildEndsBySignal) {
  ScopedEnvironment kill("CHILD_HELPER_KILL_SELF", "1");
  EXPECT_EQ(runChildAndWait({CHILD_HELPER_PATH}), std::nullopt);
}

TEST(ChildProcessTest, GivesNoneWhenNothingCanBeStarted) {
  TempDir temp;
  std::string marker = temp / "shell-ran";
  writeFile(temp / "not-executable", "#!/bin/sh\ntouch '" + marker + "'\n", 0644);
  // No interpreter line: only a shell fallback would run it.
  writeFile(temp / "no-interpreter", "touch '" + marker + "'\n", 0755);
  fs::create_directory(temp / "folder");
  struct Case {
    const char* name;
    std::vector<std::string> argv;
  } cases[] = {
      {"missing program", {temp / "missing"}},
      {"a folder", {temp / "folder"}},
      {"no execute permission", {temp / "not-executable"}},
      {"not a program", {temp / "no-interpreter"}},
      {"empty vector", {}},
      {"empty program path", {""}},
      {"argument with a NUL byte", {CHILD_HELPER_PATH, std::string("a\0b", 3)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(runChildAndWait(c.argv), std::nullopt);
  }
  EXPECT_FALSE(fs::exists(marker));
}

TEST(ChildProcessTest, ABareNameMeansTheWorkingFolderNeverPath) {
  TempDir temp;
  ScopedWorkingFolder inside(temp.path());
  ScopedEnvironment exitCode("CHILD_HELPER_EXIT", "4");
  EXPECT_EQ(runChildAndWait({"true"}), std::nullopt);  // on PATH, but not here
  fs::copy_file(CHILD_HELPER_PATH, temp / "true");
  EXPECT_EQ(runChildAndWait({"true"}), 4);
}

void ignoreSignal(int) {}

TEST(ChildProcessTest, KeepsWaitingWhenASignalInterruptsTheWait) {
  struct sigaction handler {}, previous{};
  handler.sa_handler = ignoreSignal;  // no SA_RESTART: waitpid fails with EINTR
  sigemptyset(&handler.sa_mask);
  ASSERT_EQ(sigaction(SIGUSR1, &handler, &previous), 0);
  ScopedEnvironment signalParent("CHILD_HELPER_SIGNAL_PARENT", "1");
  ScopedEnvironment exitCode("CHILD_HELPER_EXIT", "5");

  EXPECT_EQ(runChildAndWait({CHILD_HELPER_PATH}), 5);

  sigaction(SIGUSR1, &previous, nullptr);
}

}  // namespace
