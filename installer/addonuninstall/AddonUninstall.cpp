#include "installer/addonuninstall/AddonUninstall.h"

#include "installer/addonuninstall/AddonUninstallConstants.h"
#include "installer/support/AddonRegistryFile.h"
#include "installer/support/InstallUtil.h"
#include "installer/files/InstanceFiles.h"
#include "installer/support/LauncherContract.h"
#include "installer/support/RecordFileReport.h"
#include "installer/support/SupportConstants.h"
#include "platform/SystemLog.h"

namespace addonuninstall {
namespace {

namespace registry = support::AddonRegistryFile;
using platform::SystemLog::log;

bool pathExists(const std::string& path) { return support::InstanceFiles::exists(path); }

std::optional<std::string> existingPath(const std::optional<std::string>& path) {
  return path && pathExists(*path) ? path : std::nullopt;
}

}  // namespace

AddonUninstall::AddonUninstall(const std::optional<std::string>& pathToRcpHome,
                               const std::optional<std::string>& addonID)
    : _pathToRcpHome(existingPath(pathToRcpHome)), _service(_pathToRcpHome), _addonID(addonID) {
  loadCurrentAddonInfo();
}

std::optional<std::string> AddonUninstall::registryPath() const {
  if (!_pathToRcpHome || !_addonID) return std::nullopt;
  std::string path = *_pathToRcpHome + "/" + support::kAddonInfoName;
  if (!pathExists(path)) return std::nullopt;
  return path;
}

void AddonUninstall::loadCurrentAddonInfo() {
  _addonInfo.clear();
  std::optional<std::string> path = registryPath();
  if (!path) return;
  for (const platform::PlistValue& record : registry::readAddonRecords(*path)) {
    if (registry::recordHasID(record, *_addonID)) {
      _addonInfo = *record.asDictionary();
      return;
    }
  }
}

// Only the first record of the add-on goes; the file is rewritten holding "addons" alone, even
// when no record matched. A registry that cannot be read is left as it is: rewriting it would
// lose the records of every other add-on. False (and logged) then, and when the write failed.
bool AddonUninstall::purgeAddonRecord() const {
  std::optional<std::string> path = registryPath();
  if (!path) return true;
  std::optional<platform::PlistArray> records = registry::readAddonRecordsForRewrite(*path);
  if (!records) {
    support::RecordFileReport::unreadable(platform::kLogError, *path);
    return false;
  }
  for (auto record = records->begin(); record != records->end(); ++record) {
    if (registry::recordHasID(*record, *_addonID)) {
      records->erase(record);
      break;
    }
  }
  if (std::error_code error = registry::writeAddonRecords(*path, std::move(*records))) {
    support::RecordFileReport::writeFailed(*path, error);
    return false;
  }
  return true;
}

// Two update runs, one after the other; true when both were started and exited on their own.
// Only after uninstallAddon's checks: there is an rcp home.
bool AddonUninstall::startProvisioning() const {
  std::vector<std::string> arguments =
      support::LauncherContract::updateRunArguments(support::InstallUtil::getCurrentLocale(), {});
  bool firstExited = support::LauncherContract::startLauncherAndWait(*_pathToRcpHome, arguments);
  bool secondExited = support::LauncherContract::startLauncherAndWait(*_pathToRcpHome, arguments);
  return firstExited && secondExited;
}

// The registry names a file in "deploy", which the uninstall stages and then deletes as root:
// only a plain file name is taken, so a record can never point the deletion elsewhere.
std::optional<std::string> AddonUninstall::uninstallManifestName() const {
  auto recorded = _addonInfo.find(kUninstallManifestKey);
  std::string name = recorded != _addonInfo.end() && recorded->second.asString()
                         ? *recorded->second.asString()
                         : kDefaultManifestPrefix + *_addonID + kDefaultManifestSuffix;
  if (!support::InstanceFiles::isPlainFileName(name)) return std::nullopt;
  return name;
}

int AddonUninstall::uninstallAddon() const {
  if (!_pathToRcpHome || !_addonID) return kStatusNoInstance;
  log(platform::kLogInfo, "Processing uninstall manifest.");
  std::optional<std::string> name = uninstallManifestName();
  std::string manifest = *_pathToRcpHome + "/" + support::kDeployFolder + "/" + name.value_or("");
  log(platform::kLogInfo, "Locating uninstall manifest %s", manifest.c_str());
  if (!name || !pathExists(manifest)) {
    log(platform::kLogError, "Fail to locate uninstall manifest.");
    return kStatusNoAddonOrManifest;
  }
  log(platform::kLogInfo, "Copying uninstall manifest.");
  if (!_service.copyUpdateManifestReplaceInstallerRootWith(manifest, std::nullopt)) {
    log(platform::kLogError, "Fail to copy uninstall manifest.");
    return kStatusNoAddonOrManifest;
  }
  // Never through a link: "deploy" may have been swapped for one since the manifest was staged.
  support::RecordFileReport::removeOrWarn(manifest);
  _service.backupInstallManifest();
  // A failed write is reported at the end: the run goes on, as the manifest is staged already.
  bool recorded = _service.updateProvisionManifestVersion(support::InstallUtil::generateNewManifestVersion());
  if (!recorded) {
    support::RecordFileReport::writeFailed(*_pathToRcpHome + "/" + support::kLauncherPropertiesName);
  }
  _service.removeProvisionRCFile();
  log(platform::kLogInfo, "Starting provisioning system. ");
  bool launcherExited = startProvisioning();
  // The record goes before the result is read: it is gone even when the provisioning failed.
  log(platform::kLogInfo, "Removing addon info.");
  recorded = purgeAddonRecord() && recorded;
  // A launcher that did not exit on its own fails the uninstall whatever result file it left.
  if (!launcherExited || _service.getProvisioningResult() == -1) {
    log(platform::kLogError, "Unexpected results have occurred during the provisioning operation.");
    return kStatusProvisioningFailed;
  }
  _service.removeProvisionRCFile();
  _service.updatePermissionsUpdateWorkspace(false, true);
  return recorded ? kStatusDone : kStatusProvisioningFailed;
}

std::optional<std::string> getValueByKey(int argc, const char* const* argv, const std::string& key) {
  for (int i = 0; i + 1 < argc; ++i) {
    if (argv[i] != nullptr && key == argv[i] && argv[i + 1] != nullptr) return std::string(argv[i + 1]);
  }
  return std::nullopt;
}

}  // namespace addonuninstall
