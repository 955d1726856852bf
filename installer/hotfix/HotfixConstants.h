#pragma once
// Fixed texts of the hotfix uninstaller: statuses, file names, the register file and messages.

namespace hotfix {

// ---- Statuses of the entry points and exit statuses of the program ----
inline constexpr int kStatusRolledBack = 0;
inline constexpr int kStatusNoBundle = 1;
inline constexpr int kStatusNoInstance = 150;
inline constexpr int kStatusUnsupportedCharacters = 155;
inline constexpr int kStatusPlatformRunning = 170;
inline constexpr int kStatusProvisioningFailed = 190;

// ---- Uninstall manifests in "deploy" ----
inline constexpr const char* kHotfixUninstallManifest = "uninstall.hotfix.xml";
inline constexpr const char* kPeloraUninstallManifest = "uninstall.pelorahotfix.xml";

// ---- Product register file ----
inline constexpr const char* kRegisterFolder = "/Library/Application Support/Ostra";
inline constexpr const char* kRegisterFileName = "framework.plist";
inline constexpr const char* kOldInstallLocationKey = "oldInstallLocation";
inline constexpr const char* kPathToProductKey = "pathToProduct";
inline constexpr const char* kHotfixVersionKey = "hotfixVersion";
inline constexpr const char* kProductName = "Tallo";
inline constexpr const char* kRcpFolderName = "rcp";
inline constexpr const char* kDefaultInstallLocation = "/Applications/Tallo.app/Contents/MacOS";

// ---- Command line ----
inline constexpr const char* kRcpHomeOption = "-rcphome";

// ---- Messages on standard output ----
inline constexpr const char* kProvisioningFailedMessage =
    "Unexpected results have occurred during the provisioning operation.For additional "
    "information, please refer to the logs.";
inline constexpr const char* kProvisioningSucceededMessage =
    "The provisioning operations have completed successfully.";

}  // namespace hotfix
