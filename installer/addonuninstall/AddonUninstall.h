#pragma once
// The removal of one add-on from a platform instance: a provisioning run with the add-on's
// uninstall manifest, then the removal of its registry record.
#include <optional>
#include <string>

#include "installer/support/InstanceService.h"
#include "platform/PlistValue.h"

namespace addonuninstall {

class AddonUninstall {
 public:
  // initWithPathToRcphome:addonID:
  AddonUninstall(const std::optional<std::string>& pathToRcpHome,
                 const std::optional<std::string>& addonID);

  void loadCurrentAddonInfo();
  // False (and logged) when the registry exists but cannot be read, or could not be written.
  bool purgeAddonRecord() const;
  // 190 also when a launcher run did not exit on its own or a record could not be written.
  int uninstallAddon() const;

  const platform::PlistDictionary& addonInfo() const { return _addonInfo; }

 private:
  // True when both launcher runs were started and exited on their own.
  bool startProvisioning() const;
  std::optional<std::string> uninstallManifestName() const;
  std::optional<std::string> registryPath() const;

  std::optional<std::string> _pathToRcpHome;
  support::InstanceService _service;
  std::optional<std::string> _addonID;
  platform::PlistDictionary _addonInfo;
};

// The argument that follows the first occurrence of key (program name included in the walk);
// a key that is the last argument is skipped. None without a match.
std::optional<std::string> getValueByKey(int argc, const char* const* argv, const std::string& key);

}  // namespace addonuninstall
