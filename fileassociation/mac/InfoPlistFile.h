#pragma once
// Locating, reading and writing the Info.plist of an application bundle. The results are the
// status codes the library's plain functions report (MacAssocConstants.h).
#include <cstdint>
#include <optional>
#include <string_view>

#include "fileassociation/mac/FileUrl.h"
#include "platform/PlistValue.h"

namespace macassoc::InfoPlistFile {

// The URL of "<bundle>/Contents/Info.plist", which must exist. noErr; kNoUrlStatus when the
// bundle path is longer than kMaxBundlePathBytes or holds a NUL byte; else the file-system
// error of resolving the path (fnfErr, dirNFErr, afpAccessDenied, bdNamErr, ioErr).
std::int32_t getURL(std::string_view bundlePath, std::optional<FileUrl>& url);

// The parsed property list (XML, binary or old text form). noErr, or
// coreFoundationUnknownErr when the file cannot be read or holds no property list.
std::int32_t readInfoFile(const FileUrl& url, std::optional<platform::PlistValue>& plist);

// Reading and writing go to the file an Info.plist link names (the bundle's file is edited
// where it really lies, its owner, group and mode kept).
//
// Writes the list in the XML form in one atomic replacement; a failed write leaves the old
// file whole. noErr; kCFURLResourceAccessViolationError or kCFURLResourceNotFoundError for
// those failures; coreFoundationUnknownErr for any other.
std::int32_t writeInfoFile(const FileUrl& url, const platform::PlistValue& plist);

}  // namespace macassoc::InfoPlistFile
