#include "platform/UserDatabase.h"

#include <errno.h>
#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace platform {
namespace {

// Calls lookup(entry, buffer, size, result) with a growing buffer until it fits.
template <typename Lookup>
std::optional<UserEntry> lookUp(Lookup lookup) {
  long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 1024);
  for (;;) {
    struct passwd entry {};
    struct passwd* result = nullptr;
    const int error = lookup(&entry, buffer.data(), buffer.size(), &result);
    if (error == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (error != 0 || result == nullptr) return std::nullopt;
    return UserEntry{entry.pw_name ? entry.pw_name : "", entry.pw_uid, entry.pw_gid,
                     entry.pw_dir ? entry.pw_dir : ""};
  }
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
