#pragma once
// One installed platform instance, built on its rcp home. Without an rcp home every query gives
// no value or false and every update does nothing.
// Implemented in three units: records and versions (InstanceServiceRecords.cpp), manifest
// staging and provisioning settings (InstanceServiceStaging.cpp), file layout
// (InstanceServiceLayout.cpp). Private helpers may be added by each unit's author.
#include <optional>
#include <string>

#include "platform/PlistValue.h"

namespace support {
class PackageReader;
}

namespace support {

class InstanceService {
 public:
  explicit InstanceService(const std::optional<std::string>& pathToRcphome);  // initWithPathToRcphome:

  // ---- Records and versions ----
  const std::optional<std::string>& pathToRcphome() const { return _pathToRcphome; }
  bool hasInstanceInstalled() const;
  std::optional<std::string> getInstalledVersion() const;
  // The record updates give false when the file exists but holds no dictionary (it is left as
  // it is) or the write failed; true when written, or when there was nothing to do.
  bool setInstalledVersion(const std::string& version) const;
  bool isHotfixApplied() const;
  std::optional<std::string> getCurrentHotfixVersion() const;
  bool updateHotfixVersion(const std::optional<std::string>& hotfixVersion) const;
  std::optional<std::string> getBaseVersion() const;
  std::optional<std::string> getInstalledTargetVersion() const;
  std::optional<platform::PlistDictionary> getRegistryInfoForAddon(const std::string& addonID) const;
  std::optional<std::string> getAddonInstalledVersion(const std::string& addonID) const;
  bool removeRegistryInfoforAddon(const std::string& addonID) const;

  // ---- Manifest staging and provisioning settings ----
  // A source is read as a regular file of one link, never through a link; a source named by an
  // add-on package is opened with the package owner's rights instead (PackageReader.h).
  bool copyInstallManifestToFileReplaceInstallerRootWith(
      const std::string& source, const std::string& fileName,
      const std::optional<std::string>& installerRoot,
      const PackageReader* packageReader = nullptr) const;
  bool copyUpdateManifestReplaceInstallerRootWith(
      const std::string& source, const std::optional<std::string>& installerRoot,
      const PackageReader* packageReader = nullptr) const;
  bool copyInstallManifestReplaceInstallerRootWith(
      const std::string& source, const std::optional<std::string>& installerRoot) const;
  bool copyManifest(const std::string& source, const PackageReader* packageReader = nullptr) const;
  bool copyHotfixUninstallManifest(const std::string& source) const;
  void backupInstallManifest() const;
  // False when the settings exist and could not be written back; true otherwise.
  bool updateProvisionManifestVersion(const std::string& manifestVersion) const;
  void updateInstallID(const std::string& installID) const;
  bool updateRcpLauncherProperties() const;
  bool generateRcplauncherPropertiesWithTemplateWorkspace(
      const std::string& templatePath, const std::optional<std::string>& workspace) const;
  void removeProvisionRCFile() const;
  int getProvisioningResult() const;

  // ---- Instance file layout ----
  bool generateLinks() const;
  bool copyOgsiAgentProperties(const std::string& templatePath) const;
  bool generateJVMPropertiesWithTemplate(const std::optional<std::string>& templatePath) const;
  // Sources named by an add-on package are taken with its owner's rights (PackageReader.h).
  // Both give false (and log the path and the reason) when something could not be copied;
  // what was in the instance then stays.
  bool copyKeyStores(const std::string& folder, const PackageReader* packageReader = nullptr) const;
  bool copyExtras(const std::string& folder, const PackageReader* packageReader = nullptr) const;
  void updatePermissionsUpdateWorkspace(bool updateInstance, bool updateWorkspace) const;
  bool mergePluginCustomizationWithBase(const std::optional<std::string>& path) const;
  // False when there is nothing to merge into, or the instance's file could not be written
  // (one too large to read is never replaced); a refused or missing source merges nothing.
  bool mergePluginCustomizationWithRcphome(const std::optional<std::string>& path,
                                           const PackageReader* packageReader = nullptr) const;

 private:
  std::optional<std::string> _pathToRcphome;
};

}  // namespace support
