#pragma once
// Opening files at fixed paths in folders anyone can write (/tmp) as root.
// The file is opened (created 0644 when missing) with O_NOFOLLOW | O_CLOEXEC and without
// O_TRUNC; it must then be a regular file with exactly one link, else it is refused (closed,
// invalid result). Only after that check is it truncated (when asked) and used.
#include <string>

#include "platform/UniqueFd.h"

namespace platform {

enum class FixedPathMode { Truncate, Append };

// Invalid descriptor when the path is a link, not a regular file, has several links, or cannot
// be opened.
UniqueFd openFixedPathForWriting(const std::string& path, FixedPathMode mode);

}  // namespace platform
