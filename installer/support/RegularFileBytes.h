#pragma once
// Reading a whole record file into memory.
#include <cstddef>
#include <optional>
#include <string>

namespace support {

// Records, settings and manifests are small; anything larger is refused rather than read.
inline constexpr std::size_t kRecordFileSizeCap = 16 * 1024 * 1024;

// The contents of the regular file at the path; none when it is missing, is a symbolic link
// (never followed: a link planted in an instance must not make root read its target), has more
// than one link (a hard link may name a file outside the instance), is no regular file (a FIFO
// would block, a folder has no bytes), is larger than maxBytes, or cannot be read whole.
std::optional<std::string> readRegularFileBytes(const std::string& path,
                                                std::size_t maxBytes = kRecordFileSizeCap);

}  // namespace support
