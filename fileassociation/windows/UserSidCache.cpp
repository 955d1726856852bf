#include "UserSidCache.h"

#include "ShellUserSid.h"
#include "VondraRegConstants.h"

namespace vondra {

UserSidCache& UserSidCache::instance() {
  static UserSidCache cache;
  return cache;
}

const std::optional<std::string>& UserSidCache::sid() {
  if (!_sid) {
    // A SID that does not fit the cache is not cut short (a cut SID names another user's hive)
    // but treated as not found.
    auto found = findShellUserSid();
    if (found && found->size() < kSidCapacity) _sid = std::move(found);
  }
  return _sid;
}

}  // namespace vondra
