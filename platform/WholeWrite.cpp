#include "platform/WholeWrite.h"

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

}  // namespace platform
