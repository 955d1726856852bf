#include "installer/support/LauncherContract.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "common/SimInstance.h"
#include "platform/UniqueFd.h"

namespace {

namespace fs = std::filesystem;
namespace contract = support::LauncherContract;
using testing_support::SimInstance;
using Arguments = std::vector<std::string>;

// Sends this process's standard output and standard error to a file until destroyed.
class CapturedOutput {
 public:
  explicit CapturedOutput(const std::string& path)
      : savedOut_(::dup(STDOUT_FILENO)), savedErr_(::dup(STDERR_FILENO)) {
    platform::UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    ::dup2(file.get(), STDOUT_FILENO);
    ::dup2(file.get(), STDERR_FILENO);
  }
  ~CapturedOutput() {
    ::dup2(savedOut_.get(), STDOUT_FILENO);
    ::dup2(savedErr_.get(), STDERR_FILENO);
  }
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;

 private:
  platform::UniqueFd savedOut_;
  platform::UniqueFd savedErr_;
};

TEST(LauncherContractTest, ArgumentsArriveExactlyAsGiven) {
  SimInstance instance;
  const Arguments arguments = {"-nl",  "two words", "\"double\" 'single' `back`", "$HOME", "*",
                               "a;b|c", "",         "tab\tand\nnewline",          "\\"};

  EXPECT_TRUE(contract::startLauncherAndWait(instance.rcpHome().string(), arguments));

  EXPECT_EQ(instance.journal(), std::vector<Arguments>{arguments});
  EXPECT_EQ(instance.resultText(), "rc=13\n") << "the simulator refuses a list it does not know";
}

TEST(LauncherContractTest, LauncherOutputGoesNowhere) {
  SimInstance instance;
  std::string capture = (instance.temp() / "caller-output").string();
  {
    CapturedOutput captured(capture);
    // A refused list makes the simulator complain on its standard error.
    contract::startLauncherAndWait(instance.rcpHome().string(), {"-unknown"});
  }
  EXPECT_EQ(instance.resultText(), "rc=13\n");
  std::ifstream in(capture);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), "");
}

TEST(LauncherContractTest, LauncherThatCannotStartLeavesNoResultFile) {
  for (bool missing : {true, false}) {
    SCOPED_TRACE(missing ? "missing" : "not executable");
    SimInstance instance;
    if (missing) {
      fs::remove(instance.launcher());
    } else {
      fs::permissions(instance.launcher(), fs::perms::owner_read | fs::perms::owner_write);
    }

    EXPECT_FALSE(contract::startLauncherAndWait(instance.rcpHome().string(), contract::cleanupRunArguments()));

    EXPECT_EQ(instance.resultText(), std::nullopt);
    EXPECT_FALSE(fs::exists(instance.journalFile()));
  }
}

TEST(LauncherContractTest, RunListsAreTheOnesTheLauncherAccepts) {
  struct Case {
    const char* name;
    Arguments arguments;
    size_t size;
  } cases[] = {
      {"add-on update run",
       contract::updateRunArguments("en_US", {"-DprovisioningOperation=update",
                                              "-DprovUpdateSiteListOverride=file:/Volumes/Pkg/updates"}),
       13},
      {"uninstallers' update run", contract::updateRunArguments("fr_CA", {}), 11},
      {"cleanup run", contract::cleanupRunArguments(), 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimInstance instance;
    instance.stageUpdateManifest("");

    EXPECT_TRUE(contract::startLauncherAndWait(instance.rcpHome().string(), c.arguments));

    EXPECT_EQ(c.arguments.size(), c.size);
    EXPECT_EQ(instance.resultText(), "rc=0\n");
    EXPECT_EQ(instance.journal(), std::vector<Arguments>{c.arguments});
  }
}

}  // namespace
