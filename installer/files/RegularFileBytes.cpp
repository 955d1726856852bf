#include "installer/files/RegularFileBytes.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/DescriptorBytes.h"
#include "platform/PathBeneath.h"

namespace support {

platform::UniqueFd openRegularFile(const std::string& path) {
  // O_NONBLOCK keeps a FIFO planted at the path from hanging the open; fstat then refuses it.
  platform::UniqueFd fd = platform::openWithoutLinks(path, O_RDONLY | O_NOCTTY | O_NONBLOCK);
  if (!fd.valid()) return fd;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return platform::UniqueFd();
  if (!S_ISREG(info.st_mode) || info.st_nlink != 1) {
    errno = S_ISREG(info.st_mode) ? EMLINK : EINVAL;
    return platform::UniqueFd();
  }
  return fd;
}

std::optional<std::string> readRegularFileBytes(const std::string& path, std::size_t maxBytes) {
  platform::UniqueFd fd = openRegularFile(path);
  if (!fd.valid()) return std::nullopt;
  return platform::readWhole(fd.get(), maxBytes);
}

}  // namespace support
