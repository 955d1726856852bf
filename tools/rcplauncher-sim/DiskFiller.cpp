#include "tools/rcplauncher-sim/DiskFiller.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/AtomicFile.h"

namespace rcpsim {

bool fillFileSystem(const std::string& folder) {
  const std::string path = folder + "/" + kFillerName;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  // Large blocks first, then single bytes, so that not even a partial page is left.
  for (std::size_t block : {std::size_t{1} << 16, std::size_t{512}, std::size_t{1}}) {
    std::vector<char> zeros(block, 0);
    while (::write(fd, zeros.data(), zeros.size()) > 0 || errno == EINTR) errno = 0;
  }
  ::close(fd);
  return true;
}

void freeFileSystem(const std::string& folder) {
  platform::removeFileNoFollow(folder + "/" + kFillerName);
}

}  // namespace rcpsim
