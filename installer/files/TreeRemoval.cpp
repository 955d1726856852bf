#include "installer/files/TreeRemoval.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "installer/files/DirectoryStream.h"
#include "installer/files/WalkDepth.h"

namespace support {

namespace {

bool removeEntry(int folderFd, const char* name, std::size_t depth, std::size_t maxDepth) {
  if (::unlinkat(folderFd, name, 0) == 0) return true;
  if (errno != EISDIR) return false;
  if (depth >= maxDepth) return false;
  platform::UniqueFd child(::openat(folderFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  DirectoryStream entries(std::move(child));  // one that did not open lists nothing
  while (const dirent64* entry = entries.next()) {
    removeEntry(entries.fd(), entry->d_name, depth + 1, maxDepth);
  }
  return ::unlinkat(folderFd, name, AT_REMOVEDIR) == 0;
}

}  // namespace

bool removeEntryOfFolder(int folderFd, const char* name) {
  return removeEntry(folderFd, name, 0, maxWalkDepth(1));
}

}  // namespace support
