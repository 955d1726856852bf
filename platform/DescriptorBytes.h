#pragma once
// Whole buffers through a descriptor: both go on after a call that a signal (or, for a write, a
// full pipe) cut short.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace platform {

// Writes all of `bytes`. The error of the first write that fails (errno keeps it too); nothing
// more is written after it.
std::error_code writeWhole(int fd, std::string_view bytes);

// The contents from the descriptor's offset to its end; none when a read fails or there are
// more than `maxBytes` (reading stops soon after the cap, whatever the file's size).
std::optional<std::string> readWhole(int fd, std::size_t maxBytes);

}  // namespace platform
