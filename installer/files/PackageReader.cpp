#include "installer/files/PackageReader.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "platform/PathBeneath.h"
#include "platform/SystemLog.h"

namespace support {

namespace {

// "pkg/", "pkg/." and "pkg/./" all name "pkg": the last real component is what is pinned, so
// that O_NOFOLLOW applies to it and a trailing separator cannot make the open follow a link.
std::string lastRealComponentPath(std::string path) {
  while (true) {
    if (path.size() > 1 && path.back() == '/') {
      path.pop_back();
    } else if (path == ".") {
      return path;
    } else if (path.size() >= 2 && path.compare(path.size() - 2, 2, "/.") == 0) {
      path.erase(path.size() - 2);
      if (path.empty()) return "/";
    } else {
      return path;
    }
  }
}

constexpr mode_t kOthersMayWrite = S_IWGRP | S_IWOTH;

}  // namespace

PackageReader::PackageReader(std::optional<platform::Credentials> maker) : maker_(std::move(maker)) {}

PackageReader PackageReader::ofPackage(const std::optional<std::string>& packagePath) {
  if (!packagePath || packagePath->empty()) return PackageReader(std::nullopt);
  const std::string pinned = lastRealComponentPath(*packagePath);
  platform::UniqueFd package(
      ::open(pinned.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat status {};
  if (!package.valid() || ::fstat(package.get(), &status) != 0 || !S_ISDIR(status.st_mode) ||
      (status.st_mode & kOthersMayWrite) != 0) {
    if (!package.valid() && errno == ENOENT) {
      PackageReader nothing(std::nullopt);  // nothing there: its entries are missing, not refused
      nothing.noOnesError_ = ENOENT;
      return nothing;
    }
    platform::SystemLog::log(platform::kLogWarning,
                             "Not reading the package %s: it is no folder of one owner",
                             packagePath->c_str());
    return PackageReader(std::nullopt);
  }
  return PackageReader(platform::credentialsOfUser(status.st_uid));
}

std::optional<uid_t> PackageReader::uid() const {
  if (!maker_) return std::nullopt;
  return maker_->uid;
}

bool PackageReader::mayRead(const struct stat& status) const {
  if (!maker_) return false;
  if (maker_->uid == 0) return true;
  const bool folder = S_ISDIR(status.st_mode);
  if (status.st_uid == maker_->uid) {
    return (status.st_mode & S_IRUSR) && (!folder || (status.st_mode & S_IXUSR));
  }
  const auto& groups = maker_->groups;
  if (std::find(groups.begin(), groups.end(), status.st_gid) != groups.end()) {
    return (status.st_mode & S_IRGRP) && (!folder || (status.st_mode & S_IXGRP));
  }
  return (status.st_mode & S_IROTH) && (!folder || (status.st_mode & S_IXOTH));
}

template <typename Open>
platform::UniqueFd PackageReader::asMaker(Open open) const {
  if (!maker_) {
    errno = noOnesError_;
    return platform::UniqueFd();
  }
  platform::ActingAs maker(*maker_);
  if (!maker.ok()) {
    errno = EPERM;
    return platform::UniqueFd();
  }
  return open();
}

platform::UniqueFd PackageReader::openAt(int folderFd, const char* name, int flags) const {
  return asMaker([&] { return platform::UniqueFd(::openat(folderFd, name, flags | O_CLOEXEC)); });
}

platform::UniqueFd PackageReader::openInside(int folderFd, const std::string& relativePath,
                                             int flags) const {
  return asMaker([&] { return platform::openInsideFollowingLinks(folderFd, relativePath, flags); });
}

platform::UniqueFd PackageReader::openQuietly(const std::string& path, Kind kind) const {
  // O_NONBLOCK: a FIFO must not hang the open; the checks below refuse it.
  const int flags = O_RDONLY | O_NOCTTY | O_NONBLOCK | (kind == Kind::kFolder ? O_DIRECTORY : 0);
  platform::UniqueFd fd = openAt(AT_FDCWD, path.c_str(), flags);
  if (!fd.valid()) return fd;
  struct stat status {};
  const bool accepted =
      ::fstat(fd.get(), &status) == 0 && (status.st_uid == 0 || status.st_uid == maker_->uid) &&
      (kind == Kind::kFolder ? S_ISDIR(status.st_mode)
                             : S_ISREG(status.st_mode) && status.st_nlink == 1);
  if (accepted) return fd;
  errno = EACCES;
  return platform::UniqueFd();
}

platform::UniqueFd PackageReader::openSource(const std::string& path, Kind kind) const {
  platform::UniqueFd fd = openQuietly(path, kind);
  if (!fd.valid() && errno != ENOENT) {
    platform::SystemLog::log(platform::kLogWarning,
                             "Not copying %s: the package's owner could not read it", path.c_str());
  }
  return fd;
}

}  // namespace support
