#pragma once
// The property-list files in which the Launch Services stand-ins keep their state: a dictionary
// at the root, a missing file reads as an empty one, and every write replaces the file whole.
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/PlistValue.h"

namespace macassoc::StoreFile {

// "<home>/Library/Preferences/com.apple.LaunchServices/<fileName>" of the current user.
std::string launchServicesPath(std::string_view fileName);

// The root dictionary; empty when the file does not exist; none when it exists but cannot be
// read or holds no dictionary (it is then never overwritten).
std::optional<platform::PlistDictionary> load(const std::string& path);

// Creates the missing folders and replaces the file atomically in the XML form.
std::error_code save(const std::string& path, const platform::PlistDictionary& root);

}  // namespace macassoc::StoreFile
