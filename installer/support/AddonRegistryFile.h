#pragma once
// The instance's add-on registry "addonInfo.plist": a dictionary whose "addons" array holds one
// record (a dictionary with "ID", "version", "uninstallManifest") per installed add-on. Writers
// rewrite it whole, atomically, holding "addons" alone.
#include <string>

#include "platform/PlistValue.h"

namespace support::AddonRegistryFile {

// The "addons" array; a missing or unreadable file, a missing key or a value that is no array
// reads as an empty registry.
platform::PlistArray readAddonRecords(const std::string& registryPath);

// True for a dictionary record whose text "ID" equals the id (exact, case-sensitive).
bool recordHasID(const platform::PlistValue& record, const std::string& addonID);

// Replaces the file with a dictionary holding only "addons". False when the write failed.
bool writeAddonRecords(const std::string& registryPath, platform::PlistArray records);

}  // namespace support::AddonRegistryFile
