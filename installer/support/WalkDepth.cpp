#include "installer/support/WalkDepth.h"

#include <sys/resource.h>

#include <algorithm>

namespace support {

namespace {
// Left for the caller's own descriptors (log files, standard streams, libraries).
constexpr rlim_t kReservedDescriptors = 64;
// Each open directory stream holds a read buffer of some tens of kilobytes.
constexpr std::size_t kDepthCeiling = 512;
constexpr std::size_t kDepthFloor = 8;
}  // namespace

std::size_t maxWalkDepth(std::size_t descriptorsPerLevel) {
  rlimit limit{};
  rlim_t available = 1024;
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    available = limit.rlim_cur;
  } else if (limit.rlim_cur == RLIM_INFINITY) {
    available = kDepthCeiling * descriptorsPerLevel + kReservedDescriptors;
  }
  rlim_t usable = available > kReservedDescriptors ? available - kReservedDescriptors : 0;
  std::size_t depth = static_cast<std::size_t>(usable) / std::max<std::size_t>(descriptorsPerLevel, 1);
  return std::clamp(depth, kDepthFloor, kDepthCeiling);
}

}  // namespace support
