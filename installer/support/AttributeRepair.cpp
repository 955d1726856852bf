#include "installer/support/AttributeRepair.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>

#include "installer/support/WalkDepth.h"

namespace support {

namespace {

#ifndef SYS_fchmodat2
constexpr long kFchmodat2 = 452;  // the same number on every architecture
#else
constexpr long kFchmodat2 = SYS_fchmodat2;
#endif

std::atomic<bool> fchmodat2Missing{false};

// Changes the mode of a folder entry without following a link. A link answers EOPNOTSUPP and
// keeps its mode. fchmodat2 does it in one call; older kernels get the C library's fallback,
// which pins the entry with an O_PATH descriptor first, so it is just as safe.
int changeModeNoFollow(int folderFd, const char* name, mode_t mode) {
  if (!fchmodat2Missing.load(std::memory_order_relaxed)) {
    long result = ::syscall(kFchmodat2, folderFd, name, mode, AT_SYMLINK_NOFOLLOW);
    if (result == 0 || errno != ENOSYS) return static_cast<int>(result);
    fchmodat2Missing.store(true, std::memory_order_relaxed);
  }
  return ::fchmodat(folderFd, name, mode, AT_SYMLINK_NOFOLLOW);
}

unsigned char typeOfEntry(int folderFd, const char* name) {
  struct stat status {};
  if (::fstatat(folderFd, name, &status, AT_SYMLINK_NOFOLLOW) != 0) return DT_UNKNOWN;
  if (S_ISDIR(status.st_mode)) return DT_DIR;
  if (S_ISLNK(status.st_mode)) return DT_LNK;
  return DT_REG;  // any other kind is changed like a plain file
}

}  // namespace

AttributeRepair::AttributeRepair(const StandardAttributes& attributes)
    : attributes_(attributes),
      complete_(attributes.owner.has_value() && attributes.group.has_value()),
      maxDepth_(maxWalkDepth(1)) {}

bool AttributeRepair::applyBelow(platform::UniqueFd folder) {
  DirectoryStream entries(std::move(folder));
  if (!entries.valid()) return false;
  return applyToEntries(entries, 1);
}

bool AttributeRepair::applyToEntries(DirectoryStream& folder, std::size_t depth) {
  bool allChanged = true;
  while (const dirent64* entry = folder.next()) {
    if (!applyToEntry(folder.fd(), entry->d_name, entry->d_type, depth)) allChanged = false;
  }
  return allChanged && !folder.failed();
}

bool AttributeRepair::applyToEntry(int folderFd, const char* name, unsigned char type,
                                   std::size_t depth) {
  if (type == DT_UNKNOWN) type = typeOfEntry(folderFd, name);
  if (type == DT_UNKNOWN) return false;  // gone, or not readable
  if (type == DT_DIR) return applyToFolder(folderFd, name, depth);
  return applyToNonFolder(folderFd, name, type == DT_LNK);
}

bool AttributeRepair::applyToFolder(int folderFd, const char* name, std::size_t depth) {
  platform::UniqueFd child(::openat(folderFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!child.valid()) {
    // Swapped for a link or a file since it was listed: change it as what it is now. A folder
    // that could not be opened (descriptor limit) still gets its attributes, but its entries
    // stay undone.
    bool swapped = errno == ELOOP || errno == ENOTDIR;
    unsigned char now = typeOfEntry(folderFd, name);
    if (now == DT_UNKNOWN) return false;
    bool changed = applyToNonFolder(folderFd, name, now == DT_LNK);
    return changed && swapped && now != DT_DIR;
  }
  bool changed = complete_;
  if (attributes_.owner || attributes_.group) {
    changed = ::fchown(child.get(), attributes_.owner.value_or(static_cast<uid_t>(-1)),
                       attributes_.group.value_or(static_cast<gid_t>(-1))) == 0 && changed;
  }
  changed = ::fchmod(child.get(), attributes_.mode) == 0 && changed;
  if (depth >= maxDepth_) return false;  // too deep to descend: its entries stay undone
  DirectoryStream entries(std::move(child));
  if (!entries.valid()) return false;
  return applyToEntries(entries, depth + 1) && changed;
}

bool AttributeRepair::applyToNonFolder(int folderFd, const char* name, bool isLink) {
  bool changed = changeOwner(folderFd, name);
  if (isLink) return changed;
  if (changeModeNoFollow(folderFd, name, attributes_.mode) != 0) {
    // EOPNOTSUPP: it became a link after it was listed, and a link keeps its mode.
    if (errno != EOPNOTSUPP) changed = false;
  }
  return changed;
}

bool AttributeRepair::changeOwner(int folderFd, const char* name) {
  if (!attributes_.owner && !attributes_.group) return false;
  int result = ::fchownat(folderFd, name, attributes_.owner.value_or(static_cast<uid_t>(-1)),
                          attributes_.group.value_or(static_cast<gid_t>(-1)), AT_SYMLINK_NOFOLLOW);
  return result == 0 && complete_;
}

}  // namespace support
