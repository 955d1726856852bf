#include "installer/support/InstanceLock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>

#include <thread>

#include "platform/SystemLog.h"

namespace support {
namespace {

constexpr std::chrono::milliseconds kRetryInterval{50};

bool tryLock(int fd) { return ::flock(fd, LOCK_EX | LOCK_NB) == 0; }

}  // namespace

InstanceLock::InstanceLock(const std::string& rcphome)
    : folder_(::open(rcphome.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  if (!folder_.valid()) return;
  state_ = State::kHeld;
  if (tryLock(folder_.get())) return;
  platform::SystemLog::log(platform::kLogWarning, "Waiting for another run to finish with %s.",
                           rcphome.c_str());
  const auto deadline = std::chrono::steady_clock::now() + kWaitBound;
  while (std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kRetryInterval);
    if (tryLock(folder_.get())) return;
  }
  state_ = State::kBusy;
  folder_.reset();
  platform::SystemLog::log(platform::kLogError,
                           "Another run is still changing %s. Nothing was changed.",
                           rcphome.c_str());
}

}  // namespace support
