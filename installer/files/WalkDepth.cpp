#include "installer/files/WalkDepth.h"

#include <sys/resource.h>

#include <algorithm>

namespace support {

namespace {
// Left for the caller's own descriptors (log files, standard streams, libraries).
constexpr rlim_t kReservedDescriptors = 64;
// Each open directory stream holds its own read buffer (8 KiB).
constexpr rlim_t kDepthCeiling = 512;
constexpr rlim_t kDepthFloor = 8;
}  // namespace

std::size_t maxWalkDepth(std::size_t descriptorsPerLevel) {
  rlimit limit{};  // stays 0, and the depth at its floor, should the call ever fail
  ::getrlimit(RLIMIT_NOFILE, &limit);
  const rlim_t usable = std::max(limit.rlim_cur, kReservedDescriptors) - kReservedDescriptors;
  const rlim_t depth = usable / std::max<rlim_t>(descriptorsPerLevel, 1);
  return static_cast<std::size_t>(std::clamp<rlim_t>(depth, kDepthFloor, kDepthCeiling));
}

}  // namespace support
