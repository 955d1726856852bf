#include "common/PrivateNamespace.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>

#include "common/FileHelpers.h"
#include "common/TempDir.h"

extern char** environ;

namespace testing_support {

namespace fs = std::filesystem;

namespace {

// Runs argv with standard output and error in files; the wait status, or -1.
int spawnAndWait(const std::vector<std::string>& arguments, const fs::path& output) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string outputPath = output.string();
  // Opened in the child as its standard output, so it must survive the exec: no O_CLOEXEC.
  posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  int error = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return -1;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

}  // namespace

fs::path NamespaceRun::snapshotOf(const std::string& pathInNamespace) const {
  return snapshot / fs::path(pathInNamespace).relative_path();
}

std::optional<std::string> NamespaceRun::fileText(const std::string& pathInNamespace) const {
  fs::path copy = snapshotOf(pathInNamespace);
  std::error_code error;
  if (!fs::is_regular_file(fs::symlink_status(copy, error))) return std::nullopt;
  return readWholeFile(copy);
}

PrivateNamespace::PrivateNamespace(fs::path workFolder) : work_(std::move(workFolder)) {
  fs::create_directories(work_);
}

PrivateNamespace& PrivateNamespace::privateFolder(const std::string& folder) {
  folders_.push_back(folder);
  return *this;
}

PrivateNamespace& PrivateNamespace::plantFile(const std::string& path, const std::string& contents) {
  fs::path source = work_ / ("planted-" + std::to_string(planted_++));
  std::ofstream(source, std::ios::binary) << contents;
  steps_.insert(steps_.end(), {"file", source.string(), path});
  return *this;
}

PrivateNamespace& PrivateNamespace::plantSymlink(const std::string& target, const std::string& link) {
  steps_.insert(steps_.end(), {"symlink", target, link});
  return *this;
}

PrivateNamespace& PrivateNamespace::plantHardLink(const std::string& existing,
                                                  const std::string& link) {
  steps_.insert(steps_.end(), {"hardlink", existing, link});
  return *this;
}

PrivateNamespace& PrivateNamespace::makeFolder(const std::string& path) {
  steps_.insert(steps_.end(), {"mkdir", path});
  return *this;
}

std::vector<NamespaceRun> PrivateNamespace::run(
    const std::vector<std::vector<std::string>>& commands, const std::string& workingFolder) {
  const fs::path out = work_ / ("session-" + std::to_string(sessions_++));
  fs::create_directories(out);
  std::vector<std::string> arguments = {"/usr/bin/unshare", "--mount", "--propagation", "private",
                                        "/bin/bash",
                                        std::string(RCP_SOURCE_DIR) + "/tests/common/private-namespace.sh",
                                        out.string(), std::to_string(folders_.size())};
  arguments.insert(arguments.end(), folders_.begin(), folders_.end());
  arguments.insert(arguments.end(), steps_.begin(), steps_.end());
  for (const auto& command : commands) {
    arguments.insert(arguments.end(), {"run", workingFolder, std::to_string(command.size())});
    arguments.insert(arguments.end(), command.begin(), command.end());
  }
  const int harness = spawnAndWait(arguments, out / "harness.log");

  std::vector<NamespaceRun> results(commands.size());
  for (std::size_t i = 0; i < commands.size(); ++i) {
    const fs::path stem = out / ("run" + std::to_string(i));
    NamespaceRun& result = results[i];
    result.snapshot = stem;
    if (!fs::exists(stem.string() + ".status")) {
      result.standardError = "the private namespace failed (wait status " +
                             std::to_string(harness) + "): " + readWholeFile(out / "harness.log");
      continue;
    }
    std::istringstream(readWholeFile(stem.string() + ".status")) >> result.status;
    result.standardOutput = readWholeFile(stem.string() + ".stdout");
    result.standardError = readWholeFile(stem.string() + ".stderr");
  }
  return results;
}

ProgramResult runProgram(const std::vector<std::string>& argv) {
  const TempDir dir;
  const fs::path output = dir.path() / "output";
  ProgramResult result;
  int status = spawnAndWait(argv, output);
  if (status >= 0 && WIFEXITED(status)) result.status = WEXITSTATUS(status);
  result.output = readWholeFile(output);
  return result;
}

std::vector<LogLine> parseLogLines(const std::string& fileText) {
  std::vector<LogLine> lines;
  std::istringstream in(fileText);
  std::string line;
  while (std::getline(in, line)) {
    std::size_t open = line.find("] <");
    std::size_t close = open == std::string::npos ? open : line.find(">: ", open);
    if (close == std::string::npos) {
      lines.push_back({"", line});
      continue;
    }
    lines.push_back({line.substr(open + 3, close - open - 3), line.substr(close + 3)});
  }
  return lines;
}

std::vector<std::string> logTexts(const std::string& fileText) {
  std::vector<std::string> texts;
  for (LogLine& line : parseLogLines(fileText)) texts.push_back(std::move(line.text));
  return texts;
}

}  // namespace testing_support
