#pragma once
// One run changes an instance at a time. Every program and entry point takes an exclusive lock
// (flock) on a descriptor of the rcp home folder itself before its first change and holds it to
// the end: no lock file exists that a user could plant, swap or remove. The descriptor is never
// handed to the launcher (close-on-exec), so a launcher that outlives its run holds nothing.
// A second run waits for the lock a bounded time, logging that it waits, then gives up having
// changed nothing.
#include <chrono>
#include <string>

#include "platform/UniqueFd.h"

namespace support {

class InstanceLock {
 public:
  // Long enough for a run that is just finishing; short enough that a package installer is not
  // left hanging behind a run that is stuck.
  static constexpr std::chrono::milliseconds kWaitBound{3000};

  enum class State {
    kHeld,     // this run holds the instance
    kNoFolder, // nothing to lock: no folder at the rcp home (the run's own checks refuse it)
    kBusy,     // another run held it for the whole bound; logged at level 3
  };

  explicit InstanceLock(const std::string& rcphome);
  State state() const { return state_; }
  // False only when another run holds the instance: the caller changes nothing.
  bool mayChange() const { return state_ != State::kBusy; }

 private:
  platform::UniqueFd folder_;
  State state_ = State::kNoFolder;
};

}  // namespace support
