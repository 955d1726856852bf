#pragma once
// Reading a whole record file into memory.
#include <optional>
#include <string>

namespace support {

// The contents of the regular file at the path (a link to one is followed: reading is safe);
// none when it is missing, is no regular file (a FIFO would block, a folder has no bytes) or
// cannot be read whole.
std::optional<std::string> readRegularFileBytes(const std::string& path);

}  // namespace support
