#include "installer/addon/Addon.h"

#include <strings.h>

#include "installer/addon/AddonConstants.h"
#include "installer/support/InstallUtil.h"
#include "installer/files/InstanceFiles.h"
#include "installer/files/PackageReader.h"
#include "installer/support/RecordFileReport.h"
#include "installer/support/SupportConstants.h"
#include "platform/SystemLog.h"

namespace addon {
namespace {

bool pathExists(const std::optional<std::string>& path) {
  return path && support::InstanceFiles::exists(*path);
}

// A record in the rcp home that was not written is logged by its path; the run then fails.
bool reportedWrite(bool written, const std::optional<std::string>& rcpHome, const char* name) {
  if (!written) {
    support::RecordFileReport::writeFailed(appendPathComponent(rcpHome.value_or(""), name));
  }
  return written;
}

std::optional<std::string> existingPackage(const std::optional<std::string>& path) {
  return pathExists(path) ? path : std::nullopt;
}

std::optional<AddonConfiguration> configurationOf(const std::optional<std::string>& package,
                                                  const support::PackageReader& reader) {
  if (!package) return std::nullopt;
  return readAddonConfiguration(package, reader);
}

std::optional<std::string> rcpHomeOrDefault(const std::optional<std::string>& optionRCPHome,
                                            const std::optional<std::string>& destination,
                                            const std::optional<AddonConfiguration>& properties) {
  if (optionRCPHome && !optionRCPHome->empty()) return optionRCPHome;
  return getPathToRcpHome(destination, properties.value_or(AddonConfiguration{}));
}

}  // namespace

Addon::Addon(const std::optional<std::string>& pathToInstallPackage,
             const std::optional<std::string>& pathToInstallLocation,
             const std::optional<std::string>& optionRCPHome)
    : _pathToInstallPackage(existingPackage(pathToInstallPackage)),
      _packageReader(support::PackageReader::ofPackage(_pathToInstallPackage)),
      _properties(configurationOf(_pathToInstallPackage, _packageReader)),
      _pathToInstallLocation(pathToInstallLocation),
      _pathToRcphome(rcpHomeOrDefault(optionRCPHome, pathToInstallLocation, _properties)),
      _service(_pathToRcphome) {}

Addon::Addon(const std::optional<std::string>& pathToInstallPackage,
             const std::optional<std::string>& pathToInstallLocation)
    : Addon(pathToInstallPackage, pathToInstallLocation, std::nullopt) {}

std::optional<std::string> Addon::property(const char* key) const {
  if (!_properties) return std::nullopt;
  return configurationValue(*_properties, key);
}

int Addon::installAddon() const {
  if (!_pathToRcphome || !_pathToInstallPackage) return kStatusCannotStage;
  if (!copyAddonInstallManifest()) {
    platform::SystemLog::log(kLevelError, " Fail to copy install manifest. ");
    return kStatusCannotStage;
  }
  if (!copyAddonUninstallManifest()) {
    platform::SystemLog::log(kLevelWarning, "Fail to copy uninstall manifest. ");
  }
  backupInstallManifest();
  // A failed write is reported at the end: the run goes on, so that nothing staged is stranded.
  bool recordsWritten = updateProvisionManifestVersion();
  recordsWritten = mergePluginCustomization() && recordsWritten;
  copyKeyStores();
  copyExtras();
  bool launcherExited = startProvisioning();
  // The cleanup run and the hand-over to the result panel happen whatever the update did; the
  // result read afterwards is the one the cleanup run left. A launcher killed in either run
  // fails the provisioning even when a later run leaves a good result.
  launcherExited = startProvisioningWithCleanup() && launcherExited;
  recordsWritten = setupConfiguratioForResultPanel() && recordsWritten;
  if (!launcherExited || _service.getProvisioningResult() == -1) return kStatusProvisioningFailed;
  if (shouldRecordInRegistry()) recordsWritten = updateAddonRegistry() && recordsWritten;
  _service.updatePermissionsUpdateWorkspace(true, true);
  return recordsWritten ? kStatusInstalled : kStatusProvisioningFailed;
}

bool Addon::shouldRecordInRegistry() const {
  std::optional<std::string> embedded = property(kKeyEmbedded);
  return embedded && ::strcasecmp(embedded->c_str(), kEmbeddedRecordedValue) == 0;
}

bool Addon::copyAddonInstallManifest() const {
  std::optional<std::string> manifest = property(kKeyInstallManifest);
  if (!pathExists(manifest)) return false;
  return _service.copyUpdateManifestReplaceInstallerRootWith(*manifest, _pathToInstallPackage, &_packageReader);
}

bool Addon::copyAddonUninstallManifest() const {
  std::optional<std::string> manifest = property(kKeyUninstallManifest);
  if (!pathExists(manifest)) return false;
  return _service.copyManifest(*manifest, &_packageReader);
}

void Addon::backupInstallManifest() const { _service.backupInstallManifest(); }

bool Addon::updateProvisionManifestVersion() const {
  return reportedWrite(
      _service.updateProvisionManifestVersion(support::InstallUtil::generateNewManifestVersion()),
      _pathToRcphome, support::kLauncherPropertiesName);
}

bool Addon::mergePluginCustomization() const {
  std::optional<std::string> customization = property(kKeyPluginCustomization);
  if (!pathExists(customization)) return true;
  return reportedWrite(_service.mergePluginCustomizationWithRcphome(customization, &_packageReader),
                       _pathToRcphome, support::kPluginCustomizationName);
}

void Addon::copyKeyStores() const {
  if (std::optional<std::string> folder = property(kKeyKeystore)) _service.copyKeyStores(*folder, &_packageReader);
}

void Addon::copyExtras() const {
  if (std::optional<std::string> folder = property(kKeyExtras)) _service.copyExtras(*folder, &_packageReader);
}

}  // namespace addon
