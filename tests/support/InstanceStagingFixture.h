#pragma once
// A platform instance on disk for InstanceService tests: an application bundle in a fresh
// TempDir with "Contents/MacOS/rcp" holding "deploy" and "eclipse/plugins"; plus small helpers
// for files, properties and the system log.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>

#include "common/FileHelpers.h"
#include "common/TempDir.h"
#include "installer/support/InstanceService.h"
#include "installer/formats/JavaProperties.h"
#include "platform/SystemLog.h"

namespace instance_testing {

inline std::string dataFile(const std::string& name) {
  return std::string(RCP_SOURCE_DIR) + "/tests/support/data/instance/" + name;
}

// None when the file cannot be read.
inline std::optional<std::string> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

using testing_support::writeFile;

inline bool existsNoFollow(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

// Every key and value of a properties file, as our own reader gives them.
inline std::map<std::string, std::string> readProperties(const std::string& path) {
  support::JavaProperties properties(path);
  std::map<std::string, std::string> all;
  for (const auto& key : properties.allProperties()) {
    if (!key.empty()) all[key] = properties.getPropertyForKey(key).value_or("");
  }
  return all;
}

// Collects the system log's lines while it lives.
class LogCapture {
 public:
  LogCapture() : path_(dir_ / "log") {
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    platform::SystemLog::attachFile(fd_);
  }
  ~LogCapture() {
    platform::SystemLog::detachFile(fd_);
    ::close(fd_);
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::string text() const { return readFile(path_).value_or(""); }
  bool contains(const std::string& part) const { return text().find(part) != std::string::npos; }

 private:
  testing_support::TempDir dir_;
  std::string path_;
  int fd_ = -1;
};

struct Instance {
  Instance() {
    std::filesystem::create_directories(at("deploy"));
    std::filesystem::create_directories(at("eclipse/plugins"));
  }

  support::InstanceService service() const { return support::InstanceService(rcphome); }
  std::string at(const std::string& relative) const { return rcphome + "/" + relative; }
  std::string besideRcphome(const std::string& name) const { return install + "/" + name; }
  void addBasePlugin(const std::string& version) const {
    std::filesystem::create_directories(at("eclipse/plugins/com.norq.rcp.base_" + version));
  }

  testing_support::TempDir dir;
  std::string install = dir / "Client.app/Contents/MacOS";
  std::string rcphome = install + "/rcp";
};

// Inside a private mount namespace (the test-user child): makes sure the group "admin" exists,
// adding it to a copy of /etc/group bound over the real one when the machine has none.
inline bool ensureAdminGroupInNamespace(const std::string& scratch) {
  if (::getgrnam("admin") != nullptr) return true;
  const std::string copy = scratch + "/group-with-admin";
  std::string text = readFile("/etc/group").value_or("");
  if (!text.empty() && text.back() != '\n') text += '\n';
  writeFile(copy, text + "admin:x:4280:\n");
  ::chmod(copy.c_str(), 0644);
  return ::mount(copy.c_str(), "/etc/group", nullptr, MS_BIND, nullptr) == 0 &&
         ::getgrnam("admin") != nullptr;
}

}  // namespace instance_testing
