#pragma once
// Fixed texts of the add-on uninstaller: statuses, registry keys, file names and arguments.

namespace addonuninstall {

// ---- Statuses of the entry points ----
inline constexpr int kStatusDone = 0;
inline constexpr int kStatusNoInstance = 150;
inline constexpr int kStatusUnsupportedCharacters = 155;
inline constexpr int kStatusAddonNotInstalled = 160;
inline constexpr int kStatusPlatformRunning = 170;
inline constexpr int kStatusProvisioningFailed = 190;
inline constexpr int kStatusNoAddonOrManifest = 199;

// ---- Registry file and record ----
inline constexpr const char* kAddonsKey = "addons";
inline constexpr const char* kUninstallManifestKey = "uninstallManifest";
inline constexpr const char* kDefaultManifestPrefix = "uninstall.";
inline constexpr const char* kDefaultManifestSuffix = ".xml";

// ---- Log file ----
inline constexpr const char* kUninstallLogSuffix = "_uninstall.log";
inline constexpr const char* kFallbackUninstallLog = "/tmp/rcp_addon_uninstall.log";

// ---- Command line of purgeAddonRecord ----
inline constexpr const char* kRcpHomeOption = "-rcphome";
inline constexpr const char* kRcpFolderName = "rcp";  // the rcp home in the install location
inline constexpr const char* kAddonIDOption = "-addonID";

}  // namespace addonuninstall
