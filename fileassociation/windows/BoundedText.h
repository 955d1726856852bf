// Text read back from a fixed registry buffer.
#pragma once

#include <cstring>
#include <optional>
#include <string>

namespace vondra {

// The NUL-terminated text at the start of a buffer, never read past its end: none when the
// buffer holds no NUL (the data filled it, so its text does not fit).
inline std::optional<std::string> terminatedText(const char* buffer, std::size_t size) {
  const void* end = std::memchr(buffer, '\0', size);
  if (end == nullptr) return std::nullopt;
  return std::string(buffer, static_cast<const char*>(end));
}

}  // namespace vondra
