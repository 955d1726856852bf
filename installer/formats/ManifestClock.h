#pragma once
// The clock that manifest versions are taken from. Tests fix it to known instants; everything
// else reads the system clock.
#include <ctime>
#include <optional>

namespace support::ManifestClock {

// The current time: the fixed instant when one is set, otherwise the system clock.
std::time_t now();

// Fixes now() to an instant (none restores the system clock). For tests only.
void fixNowForTesting(std::optional<std::time_t> instant);

}  // namespace support::ManifestClock
