#include "UserSidCache.h"

#include "ShellUserSid.h"

namespace vondra {
namespace {

// The cache holds 128 bytes; a SID that does not fit is not cut short (a cut SID names another
// user's hive) but treated as not found.
constexpr std::size_t kSidCapacity = 128;

}  // namespace

UserSidCache& UserSidCache::instance() {
  static UserSidCache cache;
  return cache;
}

const std::optional<std::string>& UserSidCache::sid() {
  if (!_sid) {
    auto found = findShellUserSid();
    if (found && found->size() < kSidCapacity) _sid = std::move(found);
  }
  return _sid;
}

}  // namespace vondra
