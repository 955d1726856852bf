#include "platform/FixedPathFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

UniqueFd openFixedPathForWriting(const std::string& path, FixedPathMode mode) {
  // O_NONBLOCK: opening a planted FIFO must not wait for a reader; it is cleared after the
  // checks. No O_TRUNC: nothing may change before the file is known to be ours to write.
  int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  if (mode == FixedPathMode::Append) flags |= O_APPEND;
  UniqueFd fd(::open(path.c_str(), flags, 0644));
  if (!fd.valid()) return {};

  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1) return {};

  const int status = ::fcntl(fd.get(), F_GETFL);
  if (status < 0 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) != 0) return {};
  if (mode == FixedPathMode::Truncate && ::ftruncate(fd.get(), 0) != 0) return {};
  return fd;
}

}  // namespace platform
