#include "platform/UserDatabase.h"

#include <errno.h>
#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace platform {
namespace {

// Calls lookup(entry, buffer, size, result) with a buffer that doubles until the entry fits
// (up to 1 MiB).
template <typename Lookup>
std::optional<UserEntry> lookUp(Lookup lookup) {
  for (std::size_t size = 1024; size <= (1u << 20); size *= 2) {
    std::vector<char> buffer(size);
    struct passwd entry {};
    struct passwd* result = nullptr;
    const int error = lookup(&entry, buffer.data(), buffer.size(), &result);
    if (error == ERANGE) continue;
    if (error != 0 || result == nullptr) return std::nullopt;
    return UserEntry{entry.pw_name ? entry.pw_name : "", entry.pw_uid, entry.pw_gid,
                     entry.pw_dir ? entry.pw_dir : ""};
  }
  return std::nullopt;
}

}  // namespace

std::optional<UserEntry> userEntryByName(const std::string& name) {
  if (name.empty()) return std::nullopt;
  return lookUp([&](struct passwd* entry, char* buffer, size_t size, struct passwd** result) {
    return ::getpwnam_r(name.c_str(), entry, buffer, size, result);
  });
}

std::optional<UserEntry> userEntryById(uid_t uid) {
  return lookUp([&](struct passwd* entry, char* buffer, size_t size, struct passwd** result) {
    return ::getpwuid_r(uid, entry, buffer, size, result);
  });
}

}  // namespace platform
