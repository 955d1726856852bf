#pragma once
// How deep a walk that keeps descriptors open on every level may go: it stays well inside the
// process's descriptor limit, and bounds the memory of the open directory streams. A walk
// stops descending at this depth and reports the part below as not done.
#include <cstddef>

namespace support {

std::size_t maxWalkDepth(std::size_t descriptorsPerLevel);

}  // namespace support
