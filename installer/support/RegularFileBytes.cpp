#include "installer/support/RegularFileBytes.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace support {

platform::UniqueFd openRegularFile(const std::string& path) {
  // O_NONBLOCK keeps a FIFO planted at the path from hanging the open; fstat then refuses it.
  platform::UniqueFd fd(
      ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
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
  struct stat info {};
  if (!fd.valid() || ::fstat(fd.get(), &info) != 0) return std::nullopt;
  if (static_cast<unsigned long long>(info.st_size) > maxBytes) return std::nullopt;
  return readOpenFileBytes(fd.get(), maxBytes);
}

std::optional<std::string> readOpenFileBytes(int fd, std::size_t maxBytes) {
  std::string bytes;
  char buffer[16384];
  while (true) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
    if (bytes.size() > maxBytes) return std::nullopt;  // grew while being read
  }
  return bytes;
}

}  // namespace support
