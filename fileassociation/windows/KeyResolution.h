// Which root and key path a registry request really addresses.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace vondra {

struct EffectiveKey {
  HKEY root;
  std::string path;
};

// The predefined key handle whose numeric value Java passes as a 32-bit integer. Handles are
// sign-extended, as the Windows headers define them on 64-bit targets.
HKEY rootKeyFromJava(long root);

// HKEY_USERS requests address the key path inside the hive of the desktop shell's user
// ("<SID>\<key path>"); without a known SID they are served from HKEY_CURRENT_USER with the same
// path. Other roots keep the key path. None when the effective path does not fit the 1024 bytes
// of the library's key path buffer: cut short it would address another key.
std::optional<EffectiveKey> resolveKey(HKEY root, const std::string& keyPath);

}  // namespace vondra
