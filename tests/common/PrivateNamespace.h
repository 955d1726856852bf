#pragma once
// Runs built programs in a private mount namespace (`unshare --mount`) with a fresh tmpfs over
// /tmp and any other fixed folder they use, so that a test never touches the machine's own.
// Files and links can be planted in those folders before the runs; after each run a copy of
// every private folder is kept for the test to look at.
//
//   testing_support::PrivateNamespace ns(dir / "ns");
//   ns.plantSymlink("/tmp/victim", "/tmp/rcp_a.b_install.log");
//   auto results = ns.run({{program, package, destination}});
//   results[0].status, results[0].fileText("/tmp/rcp_a.b_install.log"), ...
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

struct NamespaceRun {
  int status = -1;  // the program's exit status; -1 when the namespace could not be set up
  std::string standardOutput;
  std::string standardError;
  std::filesystem::path snapshot;  // snapshot/<private folder>/... as the run left it

  // Where a path inside a private folder was copied to.
  std::filesystem::path snapshotOf(const std::string& pathInNamespace) const;
  // The text of a file the run left in a private folder; none when there is no regular file.
  std::optional<std::string> fileText(const std::string& pathInNamespace) const;
};

class PrivateNamespace {
 public:
  // Results and planted sources go below workFolder (made when missing).
  explicit PrivateNamespace(std::filesystem::path workFolder);

  // A fresh tmpfs over the folder ("/tmp" and "/run" are always private). A folder the machine does not
  // have is made only inside the namespace.
  PrivateNamespace& privateFolder(const std::string& folder);
  PrivateNamespace& plantFile(const std::string& path, const std::string& contents);
  PrivateNamespace& plantSymlink(const std::string& target, const std::string& link);
  PrivateNamespace& plantHardLink(const std::string& existing, const std::string& link);
  PrivateNamespace& makeFolder(const std::string& path);

  // Runs each argument vector in turn in one namespace (after the planted files); the harness's
  // own failures show in standardError of the first run and status -1.
  std::vector<NamespaceRun> run(const std::vector<std::vector<std::string>>& commands,
                                const std::string& workingFolder = "/");

 private:
  std::filesystem::path work_;
  // /run too: a root run makes the pasteboard's fallback folder there.
  std::vector<std::string> folders_{"/tmp", "/run"};
  std::vector<std::string> steps_;
  int planted_ = 0;
  int sessions_ = 0;
};

// Runs a program directly (no shell, no namespace) and gives its exit status (-1 when it did not
// exit normally) and its standard output and error, interleaved.
struct ProgramResult {
  int status = -1;
  std::string output;
};
ProgramResult runProgram(const std::vector<std::string>& argv);

// One line of a log file written by the system log: "<time> <host> <program>[<pid>] <Level>: <text>".
struct LogLine {
  std::string level;  // "Error", "Warning", "Info", ...
  std::string text;
};
std::vector<LogLine> parseLogLines(const std::string& fileText);
// The texts of the lines, in order.
std::vector<std::string> logTexts(const std::string& fileText);

}  // namespace testing_support
