#pragma once
// Class-level install helpers: path, process and package checks; file, version and
// provisioning helpers. No state.
#include <optional>
#include <string>
#include <vector>

#include "platform/PlistValue.h"
#include "platform/UniqueFd.h"

namespace support {
class PackageReader;
}

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
// Day, month, year % 100, hour and minute of the local time, two digits each ("0612262308").
// The clock can be fixed for tests (ManifestClock.h).
std::string generateNewManifestVersion();
// A one-character number text with a "0" put in front; any other text unchanged.
std::string processDate(const std::string& number);
// The path without its last three components (the meta-package of a component package).
std::string getPathToMPKGThrough(const std::string& path);
// The path without its last four components (the folder that holds the meta-package).
std::string getInstallerRootThrough(const std::string& path);
// Gives every entry below the folder the owner USER (else the login name), the group "admin"
// and mode 0775, in one walk that never follows a symbolic link (a link gets owner and group
// on itself) and never leaves the folder; the folder itself is not changed. The folder is
// opened from "/" (or the working folder) one component at a time, and a link anywhere on its
// path refuses it. A file of more than one hard link is left alone with a warning in the system
// log. False when the folder is missing or refused, or any entry is left without the
// attributes (the walk goes on).
bool changeAttributesForDirectory(const std::string& path);
// The same below a folder already opened without following links (O_RDONLY | O_DIRECTORY);
// `path` names it in log lines.
bool changeAttributesBelowFolder(platform::UniqueFd folder, const std::string& path);
// Runs the command line, split into words like a shell would but without one (nothing in it is
// expanded or interpreted), and waits for it. The status is ignored.
void startProvisionWithArgs(const std::string& commandLine);
// Copies the source folder to a missing target, or merges it into an existing one: files
// replace entries of the same name, folders are merged, other target entries stay. Nothing is
// written through a link in the target, and a folder met again through a link loop is skipped.
// True when everything was copied; every entry that was not is logged with its reason.
bool copyFolderFromTo(const std::string& source, const std::string& target);
// The same from an open source folder; with a reader, only what that user could read is taken
// (see TreeCopier.h).
bool copyOpenFolderTo(platform::UniqueFd source, const std::string& target,
                      const PackageReader* reader);

// ---- Error channel and trace output ----
void initInternalPasteboard(bool reset);
void sendErrorMessage(const std::optional<platform::PlistValue>& record);
std::optional<platform::PlistValue> getErrorMessage();
bool shouldWriteTraces();
void setupTraceOutput();

}  // namespace support::InstallUtil
