#include "installer/files/AttributeRepair.h"

#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "installer/files/WalkDepth.h"
#include "platform/DescriptorAttributes.h"
#include "platform/SystemLog.h"

namespace support {

namespace {
constexpr int kOpenFolderNoFollow = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr mode_t kPermissionBits = 07777;
}  // namespace

AttributeRepair::AttributeRepair(const StandardAttributes& attributes)
    : attributes_(attributes),
      complete_(attributes.owner.has_value() && attributes.group.has_value()),
      maxDepth_(maxWalkDepth(1)) {}

bool AttributeRepair::applyBelow(platform::UniqueFd folder, const std::string& shownAs) {
  DirectoryStream entries(std::move(folder));
  if (!entries.valid()) return false;
  path_ = shownAs;
  return applyToEntries(entries, 1);
}

bool AttributeRepair::applyToEntries(DirectoryStream& folder, std::size_t depth) {
  bool allChanged = true;
  while (const dirent64* entry = folder.next()) {
    bool changed = entry->d_type == DT_DIR
                       ? applyToFolder(folder.fd(), entry->d_name, depth, true)
                       : applyToNonFolder(folder.fd(), entry->d_name, depth, true);
    if (!changed) allChanged = false;
  }
  return allChanged && !folder.failed();
}

// `mayRetry`: the entry was listed as a folder; should it be something else now (swapped, or
// a file system that does not report types), it is handled once as what it is. A folder that is
// gone, cannot be read or finds no descriptor fails that second look too: its entries stay undone.
bool AttributeRepair::applyToFolder(int folderFd, const char* name, std::size_t depth,
                                    bool mayRetry) {
  platform::UniqueFd child(::openat(folderFd, name, kOpenFolderNoFollow));
  if (!child.valid()) return mayRetry && applyToNonFolder(folderFd, name, depth, false);
  struct stat status {};
  if (::fstat(child.get(), &status) != 0) return false;
  const bool changed = (hasAttributes(status) || changedOrSaid(child.get(), status, name)) && complete_;
  if (depth >= maxDepth_) {  // too deep to descend: its entries stay undone
    warnNotChanged(name, "its folders are nested deeper than the repair goes");
    return false;
  }

  const std::size_t parentLength = path_.size();
  path_.append("/").append(name);
  DirectoryStream entries(std::move(child));
  const bool below = entries.valid() && applyToEntries(entries, depth + 1);
  path_.resize(parentLength);
  return below && changed;
}

bool AttributeRepair::applyToNonFolder(int folderFd, const char* name, std::size_t depth,
                                       bool mayRetry) {
  if (!expectChanges_ && alreadyRightByName(folderFd, name)) return complete_;
  platform::UniqueFd pinned = platform::pinEntryNoFollow(folderFd, name);
  struct stat status {};
  if (!pinned.valid() || ::fstat(pinned.get(), &status) != 0) return false;
  if (S_ISDIR(status.st_mode)) return mayRetry && applyToFolder(folderFd, name, depth, false);
  expectChanges_ = !hasAttributes(status);
  if (!expectChanges_) return complete_;
  if (status.st_nlink > 1) {
    warnOfHardLinks(name, status.st_nlink);
    return false;
  }
  return changedOrSaid(pinned.get(), status, name) && complete_;
}

bool AttributeRepair::changedOrSaid(int fd, const struct stat& status, const char* name) const {
  if (changeThrough(fd, status)) return true;
  warnNotChanged(name, std::strerror(errno));
  return false;
}

void AttributeRepair::warnNotChanged(const char* name, const char* reason) const {
  platform::SystemLog::log(platform::kLogWarning, "Not changing the owner or mode of %s/%s: %s",
                           path_.c_str(), name, reason);
}

// Only ever lets an entry be skipped, never changed: the change is decided on the pinned inode.
bool AttributeRepair::alreadyRightByName(int folderFd, const char* name) const {
  struct stat status {};
  return ::fstatat(folderFd, name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
         !S_ISDIR(status.st_mode) && hasAttributes(status);
}

// An attribute that could not be resolved is not looked at: there is nothing to give.
bool AttributeRepair::hasAttributes(const struct stat& status) const {
  if (attributes_.owner && status.st_uid != *attributes_.owner) return false;
  if (attributes_.group && status.st_gid != *attributes_.group) return false;
  return S_ISLNK(status.st_mode) || (status.st_mode & kPermissionBits) == attributes_.mode;
}

bool AttributeRepair::changeThrough(int fd, const struct stat& status) const {
  const uid_t owner = attributes_.owner && status.st_uid != *attributes_.owner
                          ? *attributes_.owner : static_cast<uid_t>(-1);
  const gid_t group = attributes_.group && status.st_gid != *attributes_.group
                          ? *attributes_.group : static_cast<gid_t>(-1);
  bool changed = true;
  if (owner != static_cast<uid_t>(-1) || group != static_cast<gid_t>(-1)) {
    changed = platform::changeOwnerThrough(fd, owner, group) == 0;
  }
  // After the owner: a change of owner clears set-id bits, and the mode set here has none.
  if (!S_ISLNK(status.st_mode) && (status.st_mode & kPermissionBits) != attributes_.mode) {
    changed = platform::changeModeThrough(fd, attributes_.mode) == 0 && changed;
  }
  return changed;
}

void AttributeRepair::warnOfHardLinks(const char* name, nlink_t links) const {
  platform::SystemLog::log(platform::kLogWarning,
                           "Not changing the owner or mode of %s/%s: it has %lu hard links",
                           path_.c_str(), name, static_cast<unsigned long>(links));
}

}  // namespace support
