#include "installer/files/TreeRemoval.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "installer/files/DirectoryStream.h"
#include "installer/files/WalkDepth.h"
#include "platform/ActingAs.h"

namespace support {

namespace {

// Entries go as the owner of the folder they are in: in a folder someone swapped in, only what
// that user could remove anyway.
bool unlinkAsOwner(int folderFd, const char* name, int flags) {
  platform::ActingAsOwnerOf owner(folderFd);
  if (!owner.ok()) {
    errno = EPERM;
    return false;
  }
  return ::unlinkat(folderFd, name, flags) == 0;
}

bool removeEntry(int folderFd, const char* name, std::size_t depth, std::size_t maxDepth) {
  if (unlinkAsOwner(folderFd, name, 0)) return true;
  if (errno != EISDIR) return false;
  if (depth >= maxDepth) return false;
  platform::UniqueFd child(::openat(folderFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  DirectoryStream entries(std::move(child));  // one that did not open lists nothing
  while (const dirent64* entry = entries.next()) {
    removeEntry(entries.fd(), entry->d_name, depth + 1, maxDepth);
  }
  return unlinkAsOwner(folderFd, name, AT_REMOVEDIR);
}

}  // namespace

bool removeEntryOfFolder(int folderFd, const char* name) {
  return removeEntry(folderFd, name, 0, maxWalkDepth(1));
}

}  // namespace support
