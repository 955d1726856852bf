#include "KeyResolution.h"

#include <cstring>

#include "UserSidCache.h"
#include "VondraRegConstants.h"

namespace vondra {
namespace {

std::string userScopedPath(const std::string& keyPath) {
  const auto& sid = UserSidCache::instance().sid();
  if (!sid) return keyPath;
  return *sid + "\\" + keyPath;
}

}  // namespace

HKEY rootKeyFromJava(long root) {
  return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(root));
}

std::optional<EffectiveKey> resolveKey(HKEY root, const std::string& keyPath) {
  EffectiveKey key{root, root == HKEY_USERS ? userScopedPath(keyPath) : keyPath};
  if (root == HKEY_USERS && _stricmp(key.path.c_str(), keyPath.c_str()) == 0) {
    key.root = HKEY_CURRENT_USER;
  }
  if (key.path.size() >= kKeyPathCapacity) return std::nullopt;
  return key;
}

}  // namespace vondra
