#pragma once
// Reading a whole record file into memory.
#include <cstddef>
#include <optional>
#include <string>

#include "platform/UniqueFd.h"

namespace support {

// Records, settings and manifests are small; anything larger is refused rather than read.
inline constexpr std::size_t kRecordFileSizeCap = 16 * 1024 * 1024;

// The regular file at the path, opened for reading; invalid when it is missing, is a symbolic
// link or lies below one (no link anywhere on the path is followed: a link planted in an
// instance, or a folder of it swapped for one, must not make root read its target), has
// more than one link (a hard link may name a file outside the instance) or is no regular file
// (a FIFO would block, a folder has no bytes). errno tells why (ELOOP, EMLINK, EINVAL).
platform::UniqueFd openRegularFile(const std::string& path);

// The contents of the regular file at the path, opened as above; none when it cannot be
// opened so, is larger than maxBytes, or cannot be read whole.
std::optional<std::string> readRegularFileBytes(const std::string& path,
                                                std::size_t maxBytes = kRecordFileSizeCap);

}  // namespace support
