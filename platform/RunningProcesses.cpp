#include "platform/RunningProcesses.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <optional>

namespace platform {
namespace {

struct CloseDir {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

std::optional<long> pidOf(const char* name) {
  if (*name == '\0') return std::nullopt;
  for (const char* c = name; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return std::nullopt;
  }
  return std::strtol(name, nullptr, 10);
}

std::vector<long> processIds() {
  std::vector<long> pids;
  std::unique_ptr<DIR, CloseDir> proc(::opendir("/proc"));
  if (!proc) return pids;
  while (const dirent* entry = ::readdir(proc.get())) {
    if (auto pid = pidOf(entry->d_name)) pids.push_back(*pid);
  }
  return pids;
}

// The link's target, read with a buffer that grows until the whole path fits.
std::optional<std::string> readLink(const std::string& path) {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (n < 0) return std::nullopt;
    if (static_cast<size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<size_t>(n));
      return buffer;
    }
    if (buffer.size() >= (1u << 20)) return std::nullopt;
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

std::vector<std::string> runningExecutablePaths() {
  std::vector<std::string> paths;
  for (long pid : processIds()) {
    if (auto path = readLink("/proc/" + std::to_string(pid) + "/exe"); path && !path->empty()) {
      paths.push_back(std::move(*path));
    }
  }
  return paths;
}

}  // namespace platform
