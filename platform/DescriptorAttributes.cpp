#include "platform/DescriptorAttributes.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <string>

namespace platform {
namespace {

#ifdef SYS_fchmodat2
constexpr long kFchmodat2 = SYS_fchmodat2;
#else
constexpr long kFchmodat2 = 452;  // the same number on every architecture
#endif

std::atomic<bool> fchmodat2Missing{false};

}  // namespace

UniqueFd pinEntryNoFollow(int folder, const char* name) {
  return UniqueFd(::openat(folder, name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
}

int changeOwnerThrough(int fd, uid_t owner, gid_t group) {
  return ::fchownat(fd, "", owner, group, AT_EMPTY_PATH);
}

int changeModeThrough(int fd, mode_t mode) {
  if (!fchmodat2Missing.load(std::memory_order_relaxed)) {
    long result = ::syscall(kFchmodat2, fd, "", mode, AT_EMPTY_PATH);
    if (result == 0 || errno != ENOSYS) return static_cast<int>(result);
    fchmodat2Missing.store(true, std::memory_order_relaxed);
  }
  const std::string pinned = "/proc/self/fd/" + std::to_string(fd);
  return ::chmod(pinned.c_str(), mode);
}

}  // namespace platform
