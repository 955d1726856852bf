#include "installer/addon/PreinstallRules.h"

#include <string_view>

#include "installer/addon/AddonConstants.h"
#include "installer/support/InstanceService.h"

namespace addon {

namespace {

bool entryMatches(std::string_view entry, const std::optional<std::string>& installed) {
  if (entry.size() == 1 && entry.front() == kTargetVersionWildcard) return true;
  if (!installed) return false;
  std::size_t wildcard = entry.find(kTargetVersionWildcard);
  if (wildcard == std::string_view::npos) return entry == *installed;
  std::string_view stem = entry.substr(0, wildcard);
  return !stem.empty() && std::string_view(*installed).starts_with(stem);
}

}  // namespace

bool higherAddonVersionInstalled(const support::InstanceService& instance,
                                 const std::string& addonID,
                                 const std::optional<std::string>& packageVersion) {
  if (!instance.hasInstanceInstalled()) return false;
  std::optional<std::string> recorded = instance.getAddonInstalledVersion(addonID);
  if (!recorded) return false;
  return !packageVersion || *recorded > *packageVersion;
}

bool targetVersionMatches(const std::string& targetVersion,
                          const std::optional<std::string>& installedVersion) {
  std::string_view rest = targetVersion;
  while (true) {
    std::size_t separator = rest.find(kTargetVersionSeparator);
    if (entryMatches(rest.substr(0, separator), installedVersion)) return true;
    if (separator == std::string_view::npos) return false;
    rest.remove_prefix(separator + 1);
  }
}

}  // namespace addon
