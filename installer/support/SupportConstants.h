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

namespace support {

// ---- Manifest staging, provisioning settings and instance file layout ----
inline constexpr const char* kHotfixUninstallManifestName = "uninstall.hotfix.xml";
inline constexpr const char* kBackupManifestPrefix = "install.";
inline constexpr const char* kBackupManifestSuffix = ".xml";
inline constexpr const char* kBackupWithoutVersion = "old";
inline constexpr const char* kInstallerRootScheme = "file:";
inline constexpr const char* kManifestVersionKey = "provisioning.manifest.version";
inline constexpr const char* kInstallIdKey = "rcp.install.id";
inline constexpr const char* kBaseLocationKey = "rcp.base.location";
inline constexpr const char* kBaseLocationPrefix =
    "${rcp.home}/rcp/eclipse/plugins/com.norq.rcp.base_";
inline constexpr const char* kProvisioningManifestKey = "provisioning.manifest";
inline constexpr const char* kProvisioningManifestLocation =
    "file:/${rcp.home}/rcp/deploy/install.xml";
inline constexpr const char* kWorkspaceKey = "rcp.data";
inline constexpr const char* kResultCodeKey = "rc";
inline constexpr const char* kSharedFolderName = "shared";
inline constexpr const char* kEclipseFolder = "eclipse";
inline constexpr const char* kLinksFolder = "eclipse/links";
inline constexpr const char* kRcpLinkName = "rcp.link";
inline constexpr const char* kSharedLinkName = "shared.link";
inline constexpr const char* kLinkPathKey = "path";
inline constexpr const char* kAgentSettingsName = "osgiagent.properties";
inline constexpr const char* kJvmSettingsName = "jvm.properties";
inline constexpr const char* kKeystorePrefix = ".keystore";
inline constexpr const char* kExtrasFolder = "deploy/extras";
inline constexpr const char* kPluginCustomizationName = "plugin_customization.ini";
inline constexpr const char* kBasePluginFolderPrefix = "eclipse/plugins/com.norq.rcp.base_";
inline constexpr const char* kHomeVariable = "${env.HOME}";
inline constexpr const char* kStandardOwnerFallback = "root";

}  // namespace support
