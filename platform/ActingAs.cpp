#include "platform/ActingAs.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "platform/SystemLog.h"
#include "platform/UserDatabase.h"

namespace platform {
namespace {

constexpr int kFirstGroupList = 16;
constexpr int kMaxGroups = 65536;

std::vector<gid_t> currentGroups() {
  const int count = ::getgroups(0, nullptr);
  if (count < 0) return {};
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  const int got = ::getgroups(count, groups.data());
  groups.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
  return groups;
}

}  // namespace

std::vector<gid_t> groupsOfUser(const std::string& name, gid_t gid) {
  int count = kFirstGroupList;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  // On a list too small getgrouplist gives -1 and sets `count` to the size it needs.
  while (::getgrouplist(name.c_str(), gid, groups.data(), &count) < 0) {
    if (count <= static_cast<int>(groups.size()) || count > kMaxGroups) return {gid};
    groups.resize(static_cast<std::size_t>(count));
  }
  groups.resize(static_cast<std::size_t>(count));
  return groups;
}

Credentials credentialsOfUser(uid_t uid) {
  if (auto entry = userEntryById(uid)) {
    return Credentials{uid, entry->gid, groupsOfUser(entry->name, entry->gid)};
  }
  return Credentials{uid, kNoGroup, {kNoGroup}};
}

ActingAs::ActingAs(const Credentials& credentials)
    : savedUid_(::geteuid()), savedGid_(::getegid()) {
  if (credentials.uid == 0) {
    ok_ = true;  // root's rights are the process's own
    return;
  }
  if (savedUid_ != 0) {
    ok_ = savedUid_ == credentials.uid;
    return;
  }
  savedGroups_ = currentGroups();
  groupsSwitched_ = ::setgroups(credentials.groups.size(), credentials.groups.data()) == 0;
  if (!groupsSwitched_) return;
  gidSwitched_ = ::setresgid(static_cast<gid_t>(-1), credentials.gid, static_cast<gid_t>(-1)) == 0;
  if (!gidSwitched_) return;
  uidSwitched_ = ::setresuid(static_cast<uid_t>(-1), credentials.uid, static_cast<uid_t>(-1)) == 0;
  ok_ = uidSwitched_;
}

ActingAs::~ActingAs() { restore(); }

void ActingAs::restore() {
  // Root again first: only root may set the group ids back.
  if (uidSwitched_ && ::setresuid(static_cast<uid_t>(-1), savedUid_, static_cast<uid_t>(-1)) != 0) {
    SystemLog::log(kLogError, "cannot act as root again: %s", std::strerror(errno));
    ::_exit(70);  // going on with a user's rights where root's are assumed would be worse
  }
  // Root keeps no group of the user's either: created files would be theirs by group.
  if ((gidSwitched_ && ::setresgid(static_cast<gid_t>(-1), savedGid_, static_cast<gid_t>(-1)) != 0) ||
      (groupsSwitched_ && ::setgroups(savedGroups_.size(), savedGroups_.data()) != 0)) {
    SystemLog::log(kLogError, "cannot take root's groups again: %s", std::strerror(errno));
    ::_exit(70);
  }
}

ActingAsOwnerOf::ActingAsOwnerOf(int folderFd) {
  struct stat status {};
  if (::fstat(folderFd, &status) != 0) return;
  // One look-up per user and run: a copy or a repair switches for every entry it writes.
  static std::map<uid_t, Credentials> known;
  auto found = known.find(status.st_uid);
  if (found == known.end()) found = known.emplace(status.st_uid, credentialsOfUser(status.st_uid)).first;
  acting_.emplace(found->second);
}

}  // namespace platform
