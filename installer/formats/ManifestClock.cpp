#include "installer/formats/ManifestClock.h"

namespace support::ManifestClock {

namespace {
std::optional<std::time_t> fixedInstant;
}

std::time_t now() { return fixedInstant ? *fixedInstant : std::time(nullptr); }

void fixNowForTesting(std::optional<std::time_t> instant) { fixedInstant = instant; }

}  // namespace support::ManifestClock
