#include "installer/files/PackageReader.h"

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <unistd.h>

#include <algorithm>

#include "platform/SystemLog.h"
#include "platform/UserDatabase.h"

namespace support {

namespace {

constexpr int kMaxGroups = 65536;
constexpr uid_t kNobody = 65534;

// The user's groups, `gid` among them; only `gid` when the list cannot be had whole (a list
// filled up with zeros would put the user in root's group).
std::vector<gid_t> groupsOfUser(const std::string& name, gid_t gid) {
  int count = 32;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  while (::getgrouplist(name.c_str(), gid, groups.data(), &count) < 0) {
    if (count <= static_cast<int>(groups.size()) || count > kMaxGroups) return {gid};
    groups.resize(static_cast<std::size_t>(count));
  }
  groups.resize(static_cast<std::size_t>(count));
  return groups;
}

// The process's effective ids and groups, switched to a user's for one open and put back.
class UsersRights {
 public:
  UsersRights(uid_t uid, gid_t gid, const std::vector<gid_t>& groups)
      : savedUid_(::geteuid()), savedGid_(::getegid()) {
    int count = ::getgroups(0, nullptr);
    if (count < 0) return;
    savedGroups_.resize(static_cast<std::size_t>(count));
    if (::getgroups(count, savedGroups_.data()) != count) return;
    if (::setgroups(groups.size(), groups.data()) != 0) return;
    groupsSwitched_ = true;
    if (::setegid(gid) != 0) return;
    gidSwitched_ = true;
    switched_ = ::seteuid(uid) == 0;
  }
  ~UsersRights() {
    // Root again first: only root may set the group ids back.
    if (switched_ && ::seteuid(savedUid_) != 0) return;  // never fails with root's saved id
    if (gidSwitched_ && ::setegid(savedGid_) != 0) return;
    if (groupsSwitched_ && ::setgroups(savedGroups_.size(), savedGroups_.data()) != 0) return;
  }
  UsersRights(const UsersRights&) = delete;
  UsersRights& operator=(const UsersRights&) = delete;

  bool switched() const { return switched_; }

 private:
  uid_t savedUid_;
  gid_t savedGid_;
  std::vector<gid_t> savedGroups_;
  bool groupsSwitched_ = false;
  bool gidSwitched_ = false;
  bool switched_ = false;
};

}  // namespace

PackageReader::PackageReader(uid_t uid, gid_t gid, std::vector<gid_t> groups)
    : uid_(uid), gid_(gid), groups_(std::move(groups)) {}

PackageReader PackageReader::ofPackage(const std::optional<std::string>& packagePath) {
  struct stat status {};
  if (!packagePath || ::lstat(packagePath->c_str(), &status) != 0) {
    return PackageReader(kNobody, kNobody, {kNobody});
  }
  if (auto entry = platform::userEntryById(status.st_uid)) {
    return PackageReader(status.st_uid, entry->gid, groupsOfUser(entry->name, entry->gid));
  }
  return PackageReader(status.st_uid, status.st_gid, {status.st_gid});
}

bool PackageReader::inGroup(gid_t gid) const {
  return std::find(groups_.begin(), groups_.end(), gid) != groups_.end();
}

bool PackageReader::mayRead(const struct stat& status) const {
  if (uid_ == 0) return true;
  const bool folder = S_ISDIR(status.st_mode);
  if (status.st_uid == uid_) {
    return (status.st_mode & S_IRUSR) && (!folder || (status.st_mode & S_IXUSR));
  }
  if (inGroup(status.st_gid)) {
    return (status.st_mode & S_IRGRP) && (!folder || (status.st_mode & S_IXGRP));
  }
  return (status.st_mode & S_IROTH) && (!folder || (status.st_mode & S_IXOTH));
}

platform::UniqueFd PackageReader::openWithUsersRights(const std::string& path, Kind kind) const {
  // O_NONBLOCK: a FIFO must not hang the open; the checks below refuse it.
  const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK |
                    (kind == Kind::kFolder ? O_DIRECTORY : 0);
  if (::geteuid() != 0 || uid_ == 0) return platform::UniqueFd(::open(path.c_str(), flags));
  UsersRights rights(uid_, gid_, groups_);
  if (!rights.switched()) {
    errno = EPERM;
    return platform::UniqueFd();
  }
  return platform::UniqueFd(::open(path.c_str(), flags));
}

platform::UniqueFd PackageReader::openSource(const std::string& path, Kind kind) const {
  platform::UniqueFd fd = openWithUsersRights(path, kind);
  if (!fd.valid() && errno == ENOENT) return fd;
  struct stat status {};
  const bool accepted =
      fd.valid() && ::fstat(fd.get(), &status) == 0 && (status.st_uid == 0 || status.st_uid == uid_) &&
      (kind == Kind::kFolder ? S_ISDIR(status.st_mode)
                             : S_ISREG(status.st_mode) && status.st_nlink == 1);
  if (accepted) return fd;
  platform::SystemLog::log(platform::kLogWarning,
                           "Not copying %s: the package's owner could not read it", path.c_str());
  return platform::UniqueFd();
}

}  // namespace support
