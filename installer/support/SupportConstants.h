#pragma once
// Fixed file names, keys and values of a platform instance, spelled as the system spells them.
// Each area appends its own block.

namespace support {

// ---- Instance layout (paths relative to the rcp home) ----
inline constexpr const char* kLauncherName = "rcplauncher";
inline constexpr const char* kLauncherPropertiesName = "rcplauncher.properties";
inline constexpr const char* kInstallInfoName = "installInfo.plist";
inline constexpr const char* kAddonInfoName = "addonInfo.plist";
inline constexpr const char* kDeployFolder = "deploy";
inline constexpr const char* kInstallManifestName = "install.xml";
inline constexpr const char* kUpdateManifestName = "install.update.xml";
inline constexpr const char* kProvisioningResultName = ".provisioning_rc";

}  // namespace support

namespace support {

// ---- Error channel and trace output ----
inline constexpr const char* kInternalPasteboardName = "INSTALLATION_INTERNAL_PASTEBOARD";
inline constexpr const char* kErrorMessageType = "ERROR_MESSAGE";
inline constexpr const char* kErrorCodeKey = "ERROR_CODE";
inline constexpr const char* kErrorDetailsKey = "ERROR_DETAILS";
inline constexpr const char* kInstallPreferencesDomain = "com.norq.rcp.install.mac";
inline constexpr const char* kTraceEnableKey = "com.norq.rcp.install.mac.traceEnable";
inline constexpr const char* kTraceFilePath = "/tmp/install_trace.log";

}  // namespace support
