#include "platform/AtomicFile.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "platform/UniqueFd.h"

namespace platform {
namespace {

std::error_code lastError() { return std::error_code(errno, std::generic_category()); }

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The process's umask without changing it: /proc/self/status has it since Linux 4.7, so no
// other thread ever sees a temporarily cleared umask; older kernels fall back to the swap.
mode_t currentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) {
      return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8)) & 0777;
    }
  }
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

// A uniquely named file next to the target; removed on destruction unless committed.
class TempFile {
 public:
  std::error_code create(const std::string& target) {
    // Keep the name below NAME_MAX however long the target's name is.
    std::string name = nameOf(target).substr(0, 200);
    path_ = folderOf(target) + "/." + name + ".tmp-XXXXXX";
    fd_.reset(::mkostemp(path_.data(), O_CLOEXEC));
    if (!fd_.valid()) {
      path_.clear();
      return lastError();
    }
    return {};
  }
  ~TempFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TempFile() = default;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  int fd() const { return fd_.get(); }
  const std::string& path() const { return path_; }
  UniqueFd& descriptor() { return fd_; }
  // After the rename the name belongs to the target: nothing left to remove.
  void committed() { path_.clear(); }

 private:
  std::string path_;
  UniqueFd fd_;
};

std::error_code writeAll(int fd, std::string_view contents) {
  while (!contents.empty()) {
    const ssize_t n = ::write(fd, contents.data(), contents.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return lastError();
    }
    contents.remove_prefix(static_cast<size_t>(n));
  }
  return {};
}

std::error_code syncFolder(const std::string& folder) {
  UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.valid()) return lastError();
  // Some file systems cannot sync a folder at all; the rename itself has happened.
  if (::fsync(fd.get()) != 0 && errno != EINVAL) return lastError();
  return {};
}

}  // namespace

std::error_code replaceFileAtomically(const std::string& path, std::string_view contents) {
  if (path.empty() || path.back() == '/') return std::make_error_code(std::errc::is_a_directory);
  TempFile temp;
  if (auto error = temp.create(path)) return error;
  if (auto error = writeAll(temp.fd(), contents)) return error;
  // The mode is set before the fsync so that it is as durable as the contents.
  if (::fchmod(temp.fd(), 0666 & ~currentUmask()) != 0) return lastError();
  if (::fsync(temp.fd()) != 0) return lastError();
  if (::close(temp.descriptor().release()) != 0) return lastError();
  if (::rename(temp.path().c_str(), path.c_str()) != 0) return lastError();
  temp.committed();
  return syncFolder(folderOf(path));
}

std::error_code removeFileNoFollow(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return lastError();
  return {};
}

}  // namespace platform
