#include "installer/addon/Addon.h"

#include <strings.h>

#include "installer/addon/AddonConstants.h"
#include "installer/support/InstallUtil.h"
#include "installer/support/InstanceLock.h"
#include "installer/support/RecordCheck.h"
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
  if (!_pathToInstallPackage) {
    platform::SystemLog::log(kLevelError, "Fail to locate install package. ");
    return kStatusCannotStage;
  }
  if (!_pathToRcphome) {
    platform::SystemLog::log(kLevelError, "Fail to locate rcp home. ");
    return kStatusCannotStage;
  }
  // Held to the end of the installation: no other run changes the instance meanwhile.
  support::InstanceLock lock(*_pathToRcphome);
  if (!lock.mayChange() || !recordsReadable()) return kStatusProvisioningFailed;
  return installIntoInstance();
}

// Every record the installation will rewrite is read first: one that exists but cannot be read
// stops the run before anything is staged, rather than being rebuilt from nothing afterwards.
bool Addon::recordsReadable() const {
  namespace check = support::RecordCheck;
  std::vector<check::Record> rewritten = {check::kLauncherSettings};
  if (pathExists(property(kKeyPluginCustomization))) rewritten.push_back(check::kPluginCustomization);
  if (shouldRecordInRegistry() && property(kKeyID)) rewritten.push_back(check::kAddonRegistry);
  return check::recordsReadable(*_pathToRcphome, rewritten);
}

int Addon::installIntoInstance() const {
  if (!copyAddonInstallManifest()) {
    platform::SystemLog::log(kLevelError, " Fail to copy install manifest. ");
    return kStatusCannotStage;
  }
  if (!copyAddonUninstallManifest()) {
    platform::SystemLog::log(kLevelWarning, "Fail to copy uninstall manifest. ");
  }
  backupInstallManifest();
  // A failed write or copy is reported at the end: the run goes on, so that nothing staged is
  // stranded.
  bool recordsWritten = updateProvisionManifestVersion();
  recordsWritten = mergePluginCustomization() && recordsWritten;
  recordsWritten = copyKeyStores() && recordsWritten;
  recordsWritten = copyExtras() && recordsWritten;
  bool launcherExited = startProvisioning();
  // The cleanup run and the hand-over to the result panel happen whatever the update did; the
  // result read afterwards is the one the cleanup run left. A launcher killed in either run
  // fails the provisioning even when a later run leaves a good result.
  launcherExited = startProvisioningWithCleanup() && launcherExited;
  // The result panel's store is a side channel: a store that is not written is only a warning.
  setupConfiguratioForResultPanel();
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

bool Addon::copyKeyStores() const {
  std::optional<std::string> folder = property(kKeyKeystore);
  return !folder || _service.copyKeyStores(*folder, &_packageReader);
}

bool Addon::copyExtras() const {
  std::optional<std::string> folder = property(kKeyExtras);
  return !folder || _service.copyExtras(*folder, &_packageReader);
}

}  // namespace addon
