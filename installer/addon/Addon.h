#pragma once
// One add-on installation into an existing platform instance: stage the add-on's manifests and
// files into the instance, run the platform's provisioning (an update run, then a cleanup run),
// hand the rcp home to the installer's result panel and record the add-on in the instance's
// add-on registry.
#include <optional>
#include <string>

#include "installer/addon/AddonToolStartup.h"
#include "installer/support/InstanceService.h"

namespace addon {

class Addon {
 public:
  // initWithPathToInstallPackage:pathToInstallLocation:optionRCPHome: — an absent or empty rcp
  // home means the default rcp home of the destination.
  Addon(const std::optional<std::string>& pathToInstallPackage,
        const std::optional<std::string>& pathToInstallLocation,
        const std::optional<std::string>& optionRCPHome);
  // initWithPathToInstallPackage:pathToInstallLocation: — always the default rcp home.
  Addon(const std::optional<std::string>& pathToInstallPackage,
        const std::optional<std::string>& pathToInstallLocation);

  // The exit status of the post-install program: 0, 190 or 199. A launcher run that did not
  // exit on its own, a record that could not be read before or written after, a copy that
  // failed, and another run holding the instance make it 190.
  int installAddon() const;

  // ---- Installation steps ----
  bool copyAddonInstallManifest() const;
  bool copyAddonUninstallManifest() const;
  void backupInstallManifest() const;
  bool updateProvisionManifestVersion() const;  // false (and logged) when the settings were not written
  bool mergePluginCustomization() const;  // false (and logged) when the instance's file was not written
  // False (and logged) when a key store or extra file could not be copied; what was there stays.
  bool copyKeyStores() const;
  bool copyExtras() const;

  // ---- Provisioning runs ----
  // True when the launcher was started and exited on its own (whatever its result).
  bool startProvisioning() const;
  bool startProvisioningWithCleanup() const;

  // ---- Add-on registry and result panel ----
  // False (and logged) when the registry exists but cannot be read, or could not be written.
  bool updateAddonRegistry() const;
  // False when the store was not written; logged as a warning, it never fails the installation.
  bool setupConfiguratioForResultPanel() const;

 private:
  std::optional<std::string> property(const char* key) const;
  bool recordsReadable() const;
  int installIntoInstance() const;
  bool shouldRecordInRegistry() const;

  std::optional<std::string> _pathToInstallPackage;
  // The package pinned once: its maker reads every package entry of the whole run.
  support::PackageReader _packageReader;
  std::optional<AddonConfiguration> _properties;  // none exactly when there is no package
  std::optional<std::string> _pathToInstallLocation;
  std::optional<std::string> _pathToRcphome;
  support::InstanceService _service;
};

}  // namespace addon
