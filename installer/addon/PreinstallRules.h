#pragma once
// The two version rules of the pre-install check.
#include <optional>
#include <string>

namespace support {
class InstanceService;
}

namespace addon {

// True when a recorded version of the add-on must not be replaced by the package's: the
// instance is installed, a version is recorded for the ID, and the package has no version or
// the recorded one sorts after it. Versions compare as plain text (1.10 sorts before 1.9);
// an equal version or a record without a version never refuses.
bool higherAddonVersionInstalled(const support::InstanceService& instance,
                                 const std::string& addonID,
                                 const std::optional<std::string>& packageVersion);

// True when some ";"-separated entry of targetVersion fits the installed platform version: an
// entry without "*" by equality, "*" always (also when the installed version is unknown), any
// other entry with "*" when the installed version begins with the text before its first "*"
// (an empty such text fits nothing). Entries are not trimmed.
bool targetVersionMatches(const std::string& targetVersion,
                          const std::optional<std::string>& installedVersion);

}  // namespace addon
