#include "installer/support/RegularFileBytes.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/UniqueFd.h"

namespace support {

std::optional<std::string> readRegularFileBytes(const std::string& path, std::size_t maxBytes) {
  // O_NONBLOCK keeps a FIFO planted at the path from hanging the open; fstat then refuses it.
  platform::UniqueFd fd(
      ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
  if (!fd.valid()) return std::nullopt;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1) {
    return std::nullopt;
  }
  if (static_cast<unsigned long long>(info.st_size) > maxBytes) return std::nullopt;
  std::string bytes;
  char buffer[16384];
  while (true) {
    ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
    if (bytes.size() > maxBytes) return std::nullopt;  // grew while being read
  }
  return bytes;
}

}  // namespace support
