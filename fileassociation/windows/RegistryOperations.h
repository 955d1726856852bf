// The registry functions behind the natives. Each resolves the effective key, makes its one
// registry call, and writes what it did to the diagnostic log.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace vondra {

// 0 when the key can be opened for reading, -1 otherwise.
int queryKey(HKEY root, const std::string& keyPath);

// The value's data as text (whatever its type); none on failure, and when the data fills the
// 1024-byte buffer without a terminating NUL. No value name addresses the default value.
std::optional<std::string> getValue(HKEY root, const std::string& keyPath,
                                    const std::optional<std::string>& valueName);

// Writes the data's bytes and their NUL (none: zero bytes) as a value of the given type. With
// openExisting the key must exist; otherwise it is created as needed.
int setValue(HKEY root, const std::string& keyPath, const std::optional<std::string>& valueName,
             const std::optional<std::string>& data, DWORD valueType, bool openExisting);

int createKey(HKEY root, const std::string& keyPath);

// Deletes the key with its sub-keys and values; falls back to the plain delete, which removes
// only a key without sub-keys.
int deleteKey(HKEY root, const std::string& keyPath);

int deleteValue(HKEY root, const std::string& keyPath, const std::optional<std::string>& valueName);

}  // namespace vondra
