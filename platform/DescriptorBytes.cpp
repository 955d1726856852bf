#include "platform/DescriptorBytes.h"

#include <errno.h>
#include <unistd.h>

namespace platform {

std::error_code writeWhole(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return {errno, std::generic_category()};
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

std::optional<std::string> readWhole(int fd, std::size_t maxBytes) {
  std::string bytes;
  char buffer[16384];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) return bytes;
    bytes.append(buffer, static_cast<std::size_t>(n));
    if (bytes.size() > maxBytes) return std::nullopt;
  }
}

}  // namespace platform
