#pragma once
// Writing a buffer whole to a descriptor.
#include <string_view>
#include <system_error>

namespace platform {

// Writes all of `bytes`, going on after a write that a signal or a full pipe cut short. The
// error of the first write that fails (errno keeps it too); nothing more is written after it.
std::error_code writeWhole(int fd, std::string_view bytes);

}  // namespace platform
