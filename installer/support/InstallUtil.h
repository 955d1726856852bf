#pragma once
// Class-level install helpers: path, process and package checks; file, version and
// provisioning helpers. No state.
#include <optional>
#include <string>
#include <vector>

#include "platform/PlistValue.h"

namespace support::InstallUtil {

// ---- Path, process and package checks ----
bool containUnSupportedCharacters(const std::optional<std::string>& path);
std::vector<std::string> getAllProcess();
bool checkBundleIsRunning(const std::string& bundlePath);
std::optional<std::string> getBundlePath(const std::string& path);
bool hasPrefixCaseInsensitivePrefix(const std::string& text, const std::string& prefix);
std::string getCurrentLocale();
void replacePackageVariableWithInProperties(const std::optional<std::string>& packagePath,
                                            platform::PlistDictionary& properties);

// ---- File, version and provisioning helpers ----
std::string generateNewManifestVersion();
std::string processDate(const std::string& number);
std::string getPathToMPKGThrough(const std::string& path);
std::string getInstallerRootThrough(const std::string& path);
bool changeAttributesForDirectory(const std::string& path);
void startProvisionWithArgs(const std::string& commandLine);
void copyFolderFromTo(const std::string& source, const std::string& target);

// ---- Error channel and trace output ----
void initInternalPasteboard(bool reset);
void sendErrorMessage(const std::optional<platform::PlistValue>& record);
std::optional<platform::PlistValue> getErrorMessage();
bool shouldWriteTraces();
void setupTraceOutput();

}  // namespace support::InstallUtil
