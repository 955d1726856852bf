#pragma once
// The document-type list ("CFBundleDocumentTypes") of an Info.plist: matching and new entries.
#include <cstddef>
#include <optional>
#include <string>

#include "platform/PlistValue.h"

namespace macassoc::DocumentTypes {

// The index of the first entry that matches the extension: a dictionary one of whose values is
// an array holding exactly that one extension (compared exactly). Entries listing several
// extensions, and entries that are no dictionaries, never match.
std::optional<std::size_t> findEntryForExtension(const platform::PlistArray& types,
                                                 const std::string& extension);

// The entry addTypeToInfo appends: the extension, icon file and MIME type unchanged, the role
// "Editor", not the default for the type.
platform::PlistValue makeEntry(const std::string& extension, const std::string& mimeType,
                               const std::string& iconFile);

}  // namespace macassoc::DocumentTypes
