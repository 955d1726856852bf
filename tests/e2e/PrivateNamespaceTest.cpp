// The harness that the end-to-end tests rely on to keep programs away from the machine's own
// fixed folders.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "common/PrivateNamespace.h"
#include "common/TempDir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::NamespaceRun;
using testing_support::PrivateNamespace;

TEST(PrivateNamespaceTest, ArgumentsReachTheProgramVerbatim) {
  testing_support::TempDir dir;
  const std::vector<std::string> words = {"$(touch /tmp/injected)", "; touch /tmp/injected", "a  b",
                                          "'", "\"", "*", "-n", ""};
  std::vector<std::string> command = {"/usr/bin/printf", "[%s]\\n"};
  command.insert(command.end(), words.begin(), words.end());
  NamespaceRun run = PrivateNamespace(dir.path()).run({command})[0];

  std::string expected;
  for (const std::string& word : words) expected += "[" + word + "]\n";
  EXPECT_EQ(run.status, 0) << run.standardError;
  EXPECT_EQ(run.standardOutput, expected);
  EXPECT_FALSE(fs::exists(run.snapshotOf("/tmp/injected")));
}

TEST(PrivateNamespaceTest, FixedFoldersArePrivateAndStatusesPassThrough) {
  testing_support::TempDir dir;
  const std::string name = "rcp-private-" + std::to_string(::getpid());
  const bool libraryBefore = fs::exists("/Library");
  PrivateNamespace ns(dir.path());
  ns.privateFolder("/Library/Application Support").plantFile("/tmp/seed", "seeded");
  std::vector<NamespaceRun> runs =
      ns.run({{"/usr/bin/touch", "/tmp/" + name, "/Library/Application Support/" + name},
              {"/bin/sh", "-c", "exit 7"}});

  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].status, 0) << runs[0].standardError;
  EXPECT_TRUE(fs::exists(runs[0].snapshotOf("/tmp/" + name)));
  EXPECT_TRUE(fs::exists(runs[0].snapshotOf("/Library/Application Support/" + name)));
  EXPECT_EQ(runs[0].fileText("/tmp/seed"), "seeded");
  EXPECT_EQ(runs[1].status, 7);
  EXPECT_TRUE(fs::exists(runs[1].snapshotOf("/tmp/" + name))) << "one namespace for all runs";

  EXPECT_FALSE(fs::exists("/tmp/" + name));
  EXPECT_EQ(fs::exists("/Library"), libraryBefore) << "a missing folder is not made on the machine";
  EXPECT_FALSE(fs::exists("/Library/Application Support/" + name));
}

TEST(PrivateNamespaceTest, LogLinesSplitIntoLevelAndText) {
  const auto lines = testing_support::parseLogLines(
      "Mon Dec  7 20:14:36 2026 vm prog[1] <Error>: a: b <c> \nnot a log line\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].level, "Error");
  EXPECT_EQ(lines[0].text, "a: b <c> ");
  EXPECT_EQ(lines[1].text, "not a log line");
}

}  // namespace
