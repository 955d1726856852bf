// Java's java.util.Properties, which the launcher uses, reads the settings an instance writes.
// The Java properties peer prints each pair as UTF-16 code units in hexadecimal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/InstanceStagingFixture.h"

extern char** environ;

namespace {

using instance_testing::dataFile;
using instance_testing::Instance;

// Standard output of a program run without a shell; none when it fails.
std::optional<std::string> outputOf(std::vector<std::string> arguments) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  std::string output;
  char buffer[4096];
  for (ssize_t got; spawned == 0 && (got = ::read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    output.append(buffer, static_cast<size_t>(got));
  }
  ::close(pipeFds[0]);
  if (spawned != 0) return std::nullopt;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return output;
}

// UTF-16 code units in hexadecimal (BMP only, as in these tests) to UTF-8.
std::string fromHex(const std::string& hex) {
  std::string text;
  for (size_t i = 0; i + 4 <= hex.size(); i += 4) {
    const unsigned unit = static_cast<unsigned>(std::stoul(hex.substr(i, 4), nullptr, 16));
    if (unit < 0x80) {
      text += static_cast<char>(unit);
    } else if (unit < 0x800) {
      text += static_cast<char>(0xC0 | (unit >> 6));
      text += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      text += static_cast<char>(0xE0 | (unit >> 12));
      text += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      text += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return text;
}

// The pairs java.util.Properties loads from a file.
std::map<std::string, std::string> loadedByJava(const std::string& path) {
  auto output = outputOf({RCP_JAVA_LAUNCHER, "-cp", RCP_JAVA_PEER_CLASSES, "JavaPropertiesPeer",
                          "dump", path});
  EXPECT_TRUE(output.has_value()) << "the JVM could not load " << path;
  std::map<std::string, std::string> pairs;
  std::istringstream lines(output.value_or(""));
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("file ", 0) == 0) continue;
    const auto space = line.find(' ');
    if (space == std::string::npos) continue;
    pairs[fromHex(line.substr(0, space))] = fromHex(line.substr(space + 1));
  }
  return pairs;
}

TEST(LauncherSettingsJvm, JavaReadsTheWrittenSettings) {
  Instance instance;
  instance.addBasePlugin("6.2.9.20121012");
  const auto service = instance.service();
  const std::string workspace = "/Users/zo\u00eb/work space:1";
  ASSERT_TRUE(service.generateRcplauncherPropertiesWithTemplateWorkspace(
      dataFile("rcplauncher.template.properties"), workspace));
  ASSERT_TRUE(service.updateRcpLauncherProperties());
  service.updateInstallID("install = #7!");

  auto settings = loadedByJava(instance.at("rcplauncher.properties"));
  const std::string version = settings["provisioning.manifest.version"];
  EXPECT_TRUE(std::regex_match(version, std::regex("[0-9]{10}"))) << version;
  EXPECT_EQ(settings, (std::map<std::string, std::string>{
                          {"provisioning.manifest", "file:/${rcp.home}/rcp/deploy/install.xml"},
                          {"provisioning.manifest.version", version},
                          {"rcp.base.location",
                           "${rcp.home}/rcp/eclipse/plugins/com.norq.rcp.base_6.2.9.20121012"},
                          {"rcp.data", workspace},
                          {"rcp.home", "${rcp.home}"},
                          {"rcp.install.id", "install = #7!"},
                          {"vm.args", "-Xms32m -Xmx256m"},
                      }));
}

}  // namespace
