#pragma once
// The records a run rewrites are read before the run changes anything. A record that exists but
// is refused (a link, a second link, no regular file, too large) or cannot be read whole is never
// rebuilt from nothing: the run stops before its first change instead, with the record named in
// the log, so the administrator knows which file to look at.
#include <string>
#include <vector>

namespace support::RecordCheck {

enum class RecordFormat { kJavaProperties, kPropertyList, kAddonRegistry };

struct Record {
  const char* name;  // in the rcp home
  RecordFormat format;
};

inline constexpr Record kLauncherSettings{"rcplauncher.properties", RecordFormat::kJavaProperties};
inline constexpr Record kPluginCustomization{"plugin_customization.ini", RecordFormat::kJavaProperties};
inline constexpr Record kInstallInfo{"installInfo.plist", RecordFormat::kPropertyList};
inline constexpr Record kAddonRegistry{"addonInfo.plist", RecordFormat::kAddonRegistry};

// True when each record is missing or reads whole (a property list as a dictionary, the
// registry with an "addons" array). Every one that does not is logged at level 3 as
// "Fail to read <path>. It is left unchanged."; all are checked, so every bad record is named.
bool recordsReadable(const std::string& rcphome, const std::vector<Record>& records);

}  // namespace support::RecordCheck
