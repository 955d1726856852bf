// Indexed reads of a key's values and sub-keys, and the count that sizes the Java array.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "KeyResolution.h"

namespace vondra {

// Reads the entry at an index; none when the read fails.
using EntryReader = std::function<std::optional<std::string>(DWORD index)>;

// The value at the index as "name**::data", the data read as text whatever its type. Opens and
// closes the key for this one read; a name or data that does not fit its 1024-byte buffer fails
// the read. The log shows the key path as the caller passed it.
std::optional<std::string> readValueEntry(const EffectiveKey& key, const std::string& callerKeyPath,
                                          DWORD index);

// The name of the sub-key at the index, read the same way; its log shows the effective key path
// (under HKEY_USERS "<SID>\<key path>"), as every other function's log does.
std::optional<std::string> readSubKeyEntry(const EffectiveKey& key, const std::string& callerKeyPath,
                                           DWORD index);

// The number of successful reads from index 0 on, up to the first that fails.
DWORD countEntries(const EntryReader& read);

}  // namespace vondra
