#pragma once
// The instance's add-on registry "addonInfo.plist": a dictionary whose "addons" array holds one
// record (a dictionary with "ID", "version", "uninstallManifest") per installed add-on. Writers
// rewrite it whole, atomically, holding "addons" alone.
#include <optional>
#include <string>
#include <system_error>

#include "platform/PlistValue.h"

namespace support::AddonRegistryFile {

// The "addons" array for a reader; a missing or unreadable file, a missing key or a value that
// is no array reads as an empty registry.
platform::PlistArray readAddonRecords(const std::string& registryPath);

// The "addons" array for a writer that rewrites the file: empty when nothing is at the path (no
// link is followed) or the dictionary holds no "addons". None when something is there that is
// no dictionary property list with an "addons" array (cut short, too large, nested too deep, a
// link, ...): such a file must be left as it is, since rewriting it would lose the records of
// every other add-on.
std::optional<platform::PlistArray> readAddonRecordsForRewrite(const std::string& registryPath);

// True for a dictionary record whose text "ID" equals the id (exact, case-sensitive).
bool recordHasID(const platform::PlistValue& record, const std::string& addonID);

// Replaces the file with a dictionary holding only "addons". The error of the write (a full
// disk, or a value the XML form cannot carry); empty on success.
std::error_code writeAddonRecords(const std::string& registryPath, platform::PlistArray records);

}  // namespace support::AddonRegistryFile
