#pragma once
// The start-up shared by the two add-on programs: the command line, the add-on package
// configuration, the per-add-on log file and the rcp home of the target instance.
#include <optional>
#include <string>

#include "installer/files/PackageReader.h"
#include "installer/files/PathText.h"
#include "platform/PlistValue.h"
#include "platform/AttachedLogFile.h"

namespace addon {

// The add-on package configuration: keys to text values once read (values of other types are
// left out when the file is read).
using AddonConfiguration = platform::PlistDictionary;

// The positions both programs read. A position that is missing or empty is not given (none).
struct AddonCommandLine {
  std::optional<std::string> packagePath;        // 1
  std::optional<std::string> destination;        // 2
  std::optional<std::string> frameworkLocation;  // 5: the folder that holds "rcp"
  std::optional<std::string> targetBundle;       // 6: bundle name without ".app"
};

AddonCommandLine readAddonCommandLine(int argc, const char* const* argv);

// The configuration of the package, defaults filled in and "${package}" resolved; empty when
// there is no package path or no configuration file. A file that is no dictionary property list
// contributes no entries, but the defaults are still filled in.
// The file is read as the package's maker (installer/files/PackageReader.h); one they could not
// read counts as missing.
AddonConfiguration readAddonConfiguration(const std::optional<std::string>& packagePath);
// The same with the package pinned already.
AddonConfiguration readAddonConfiguration(const std::optional<std::string>& packagePath,
                                          const support::PackageReader& reader);

// Gives every key with a default that is absent or empty its default, in place.
void initializeDefaultValues(AddonConfiguration& configuration);

// The text value of a key, or none.
std::optional<std::string> configurationValue(const AddonConfiguration& configuration,
                                              const char* key);

// "/tmp/rcp_" + ID + "_install.log"; "/tmp/rcp_addon_install.log" when there is no ID or the ID
// would name a file outside "/tmp" or the folder itself (holds "/" or a NUL, is "." or "..").
std::string installLogFilePath(const AddonConfiguration& configuration);

// The per-run log file, attached to the system log while the object lives; detached and closed
// when it is destroyed. Not attached when the file could not be opened safely (a link, not a
// regular file, several links): the run then goes on with the system log alone.
using AddonLogFile = platform::AttachedLogFile;

// Opens the log file named by the configuration without following a link, truncates it and
// attaches it to the system log.
AddonLogFile setupLogFile(const AddonConfiguration& configuration);

// destination / (targetBundle + ".app") / frameworkLocation / "rcp"; none without
// "targetBundle" or without a destination.
std::optional<std::string> getPathToRcpHome(const std::optional<std::string>& destination,
                                            const AddonConfiguration& configuration);

// Position 5 + "/rcp" when position 5 is given, else the default rcp home.
std::optional<std::string> locateRcpHome(const AddonCommandLine& commandLine,
                                         const AddonConfiguration& configuration);

// True when the rcp home is given, exists, and holds an installed instance.
bool instanceExistAtLocation(const std::optional<std::string>& rcpHome);

// Appends one path component with a single "/" between (as the platform's path joining does).
using support::path_text::appendPathComponent;

}  // namespace addon
