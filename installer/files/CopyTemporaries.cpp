#include "installer/files/CopyTemporaries.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include "platform/MarkedTemporary.h"

namespace support {

std::string copyTemporaryNameFor(const std::string& finalName) {
  return platform::MarkedTemporary::nameFor(finalName, platform::MarkedTemporary::kCopyMarker);
}

bool isCopyTemporaryName(const char* name) {
  return platform::MarkedTemporary::isName(name, platform::MarkedTemporary::kCopyMarker);
}

void removeCopyTemporaries(int folderFd) {
  platform::MarkedTemporary::sweep(folderFd, platform::MarkedTemporary::kCopyMarker);
}

platform::UniqueFd createCopyTemporary(int folderFd, const std::string& finalName,
                                       std::string& temporaryName) {
  return platform::MarkedTemporary::create(folderFd, finalName,
                                           platform::MarkedTemporary::kCopyMarker, temporaryName);
}

bool renameCopyTemporaryNoReplace(int folderFd, const std::string& temporaryName,
                                  const char* finalName) {
  if (::renameat2(folderFd, temporaryName.c_str(), folderFd, finalName, RENAME_NOREPLACE) == 0) {
    return true;
  }
  int error = errno;
  // No RENAME_NOREPLACE here (the C library reports a kernel without renameat2 the same way as
  // a file system without the flag): a hard link fails as well when the name exists.
  if (error == EINVAL) {
    if (::linkat(folderFd, temporaryName.c_str(), folderFd, finalName, 0) == 0) {
      ::unlinkat(folderFd, temporaryName.c_str(), 0);
      return true;
    }
    error = errno;
  }
  ::unlinkat(folderFd, temporaryName.c_str(), 0);
  errno = error;
  return false;
}

bool renameCopyTemporaryReplacing(int folderFd, const std::string& temporaryName,
                                  const char* finalName) {
  if (::renameat(folderFd, temporaryName.c_str(), folderFd, finalName) == 0) return true;
  const int error = errno;
  ::unlinkat(folderFd, temporaryName.c_str(), 0);
  errno = error;
  return false;
}

}  // namespace support
