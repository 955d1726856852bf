#pragma once
// Status codes, keys, identifiers and messages of the Mac file-association library, spelled as
// the Mac services and the Info.plist spell them.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace macassoc {

// Status codes (OSStatus values) that the library reports or keeps internally.
inline constexpr std::int32_t noErr = 0;
inline constexpr std::int32_t ioErr = -36;
inline constexpr std::int32_t bdNamErr = -37;
inline constexpr std::int32_t fnfErr = -43;
inline constexpr std::int32_t paramErr = -50;
inline constexpr std::int32_t dirNFErr = -120;
inline constexpr std::int32_t coreFoundationUnknownErr = -4960;
inline constexpr std::int32_t afpAccessDenied = -5000;
inline constexpr std::int32_t kCFURLResourceNotFoundError = -12;
inline constexpr std::int32_t kCFURLResourceAccessViolationError = -13;
inline constexpr std::int32_t kLSUnknownErr = -10810;
inline constexpr std::int32_t kLSDataErr = -10817;
// getURL: no URL can be made from the bundle path.
inline constexpr std::int32_t kNoUrlStatus = -1;

// The Info.plist of a bundle; bundle path, suffix and terminator fit in 1024 bytes.
inline constexpr std::string_view kInfoPlistSuffix = "/Contents/Info.plist";
inline constexpr std::size_t kInfoPathBufferBytes = 1024;
inline constexpr std::size_t kMaxBundlePathBytes =
    kInfoPathBufferBytes - kInfoPlistSuffix.size() - 1;  // 1003

// Info.plist keys and values.
inline constexpr std::string_view kCFBundleDocumentTypesKey = "CFBundleDocumentTypes";
inline constexpr std::string_view kCFBundleTypeExtensionsKey = "CFBundleTypeExtensions";
inline constexpr std::string_view kCFBundleTypeIconFileKey = "CFBundleTypeIconFile";
inline constexpr std::string_view kCFBundleTypeMIMETypesKey = "CFBundleTypeMIMETypes";
inline constexpr std::string_view kCFBundleTypeRoleKey = "CFBundleTypeRole";
inline constexpr std::string_view kLSIsAppleDefaultForTypeKey = "LSIsAppleDefaultForType";
inline constexpr std::string_view kCFBundleIdentifierKey = "CFBundleIdentifier";
inline constexpr std::string_view kEditorRole = "Editor";

// Handler applications, chosen by a word of the type name.
inline constexpr std::string_view kDocumentTypeWord = "Document";
inline constexpr std::string_view kSpreadsheetTypeWord = "Spreadsheet";
inline constexpr std::string_view kPresentationTypeWord = "Presentation";
inline constexpr std::string_view kDocumentHandler = "com.norq.ostra.Document";
inline constexpr std::string_view kSpreadsheetHandler = "com.norq.ostra.Spreadsheet";
inline constexpr std::string_view kPresentationHandler = "com.norq.ostra.Presentation";
inline constexpr std::string_view kDefaultHandler = "com.norq.ostra.Pelora";

// Launch Services roles, options and the handler that gives a role back.
inline constexpr std::uint32_t kLSRolesAll = 0xFFFFFFFFu;
inline constexpr std::uint32_t kLSHandlerOptionsIgnoreCreator = 1;
inline constexpr std::string_view kReleasedRoleHandler = "default";

// The Launch Services handler store, relative to the home folder, and its keys.
inline constexpr std::string_view kLaunchServicesFolder =
    "Library/Preferences/com.apple.LaunchServices";
inline constexpr std::string_view kHandlerStoreFile = "com.apple.launchservices.secure.plist";
inline constexpr std::string_view kLSHandlersKey = "LSHandlers";
inline constexpr std::string_view kLSHandlerContentTypeKey = "LSHandlerContentType";
inline constexpr std::string_view kLSHandlerRoleAllKey = "LSHandlerRoleAll";
inline constexpr std::string_view kLSHandlerOptionsKey = "LSHandlerOptions";

// The registered bundles, kept next to the handler store.
inline constexpr std::string_view kBundleRegistryFile = "registeredBundles.plist";
inline constexpr std::string_view kLSRegisteredBundlesKey = "LSRegisteredBundles";
inline constexpr std::string_view kRegisteredPathKey = "Path";

// Messages on standard error.
inline constexpr std::string_view kSetDefaultOpenRoleBanner =
    "==============setDefaultOpenRole==============";
inline constexpr std::string_view kUnsetDefaultOpenRoleBanner =
    "==============unsetDefaultOpenRole==============";

}  // namespace macassoc
