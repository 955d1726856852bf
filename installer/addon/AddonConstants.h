#pragma once
// Fixed texts of the add-on tools: exit statuses, configuration keys and their defaults, the
// log file names and the log levels, spelled as the system spells them.
#include "platform/SystemLog.h"

namespace addon {

// ---- Exit statuses of the pre-install checker ----
inline constexpr int kStatusAllowed = 0;
inline constexpr int kStatusNoInstance = 150;
inline constexpr int kStatusTargetVersionMismatch = 151;
inline constexpr int kStatusUnsupportedCharacters = 155;
inline constexpr int kStatusTargetRunning = 170;
inline constexpr int kStatusHigherAddonVersion = 181;

// ---- Command-line positions (position 0 is the program) ----
inline constexpr int kPositionPackagePath = 1;
inline constexpr int kPositionDestination = 2;
inline constexpr int kPositionFrameworkLocation = 5;
inline constexpr int kPositionTargetBundle = 6;

// ---- The add-on package configuration ----
inline constexpr const char* kConfigurationFolder = "Contents/Resources";
inline constexpr const char* kConfigurationFileName = "addon_configuration.plist";

inline constexpr const char* kKeyID = "ID";
inline constexpr const char* kKeyVersion = "version";
inline constexpr const char* kKeyTargetBundle = "targetBundle";
inline constexpr const char* kKeyFrameworkLocation = "frameworkLocation";
inline constexpr const char* kKeyTargetVersion = "targetVersion";
inline constexpr const char* kKeyInstallManifest = "installManifest";
inline constexpr const char* kKeyUninstallManifest = "uninstallManifest";
inline constexpr const char* kKeyPluginCustomization = "pluginCustomization";
inline constexpr const char* kKeyKeystore = "keystore";
inline constexpr const char* kKeyEmbedded = "EMBEDDED";
inline constexpr const char* kKeyExtras = "extras";
inline constexpr const char* kKeyUpdateSiteList = "updateSiteList";

inline constexpr const char* kPackageVariable = "${package}";
inline constexpr const char* kDefaultFrameworkLocation = "Contents/MacOS";
inline constexpr const char* kDefaultTargetVersion = "*";
inline constexpr const char* kDefaultManifestFolder = "${package}/../deploy";
inline constexpr const char* kDefaultInstallManifestStem = "install";
inline constexpr const char* kDefaultUninstallManifestStem = "uninstall";
inline constexpr const char* kManifestExtension = ".xml";
inline constexpr const char* kDefaultPluginCustomization =
    "${package}/../deploy/plugin_customization.ini";
inline constexpr const char* kDefaultEmbedded = "NO";
inline constexpr const char* kExtrasFolderName = "extras";
inline constexpr const char* kDefaultUpdateSiteList = "${package}/../../updates/platform";

// ---- Target version entries ----
inline constexpr char kTargetVersionSeparator = ';';
inline constexpr char kTargetVersionWildcard = '*';

// ---- Instance location ----
inline constexpr const char* kBundleExtension = ".app";
inline constexpr const char* kRcpFolderName = "rcp";
inline constexpr const char* kRcpFolderSuffix = "/rcp";

// ---- Log files ----
inline constexpr const char* kInstallLogFileSuffix = "_install.log";
inline constexpr const char* kAddonLogFilePath = "/tmp/rcp_addon_install.log";

// ---- Log levels ----
inline constexpr int kLevelError = platform::kLogError;
inline constexpr int kLevelWarning = platform::kLogWarning;
inline constexpr int kLevelInfo = platform::kLogInfo;

}  // namespace addon

namespace addon {

// ---- Exit statuses of the post-install program ----
inline constexpr int kStatusInstalled = 0;
inline constexpr int kStatusProvisioningFailed = 190;
inline constexpr int kStatusCannotStage = 199;

// ---- Add-on registry and result panel ----
inline constexpr const char* kEmbeddedRecordedValue = "No";
inline constexpr const char* kRcpDataKey = "rcp.data";
inline constexpr const char* kResultPanelRcpDataKey = "P_RCPDATA";
inline constexpr const char* kResultPanelRcpHomeKey = "pathToRcpHome";
inline constexpr const char* kZelConfigPath = "/tmp/zel.config";
inline constexpr const char* kUpdateSitePlaceholder = "{update.site}";

}  // namespace addon
