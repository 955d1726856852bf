#include "installer/hotfix/HotfixUninstall.h"

#include "installer/hotfix/HotfixConstants.h"
#include "installer/support/InstallUtil.h"
#include "installer/support/InstanceFiles.h"
#include "installer/support/LauncherContract.h"
#include "installer/support/SupportConstants.h"
#include "platform/AtomicFile.h"
#include "platform/SystemLog.h"

namespace hotfix {
namespace {

namespace launcher = support::LauncherContract;
using platform::SystemLog::log;

std::optional<std::string> existingPath(const std::optional<std::string>& path) {
  return path && support::InstanceFiles::exists(*path) ? path : std::nullopt;
}

}  // namespace

HotfixUninstall::HotfixUninstall(const std::optional<std::string>& pathToRcpHome, std::FILE* out)
    : _pathToRcpHome(existingPath(pathToRcpHome)), out_(out) {
  if (_pathToRcpHome) _instance.emplace(_pathToRcpHome);
}

void HotfixUninstall::reportFileNotFound(const std::string& file) const {
  log(platform::kLogError,
      "File %s not found. Provisioning process failed to launch or was terminated before status "
      "could be determined.",
      file.c_str());
  std::fprintf(out_,
               "File %s not found. Provisioning process failed to launch or was terminated before "
               "status could be determined.\n",
               file.c_str());
}

// The staged copy replaces the uninstall manifest: a rolled-back hotfix cannot be rolled back
// a second time.
bool HotfixUninstall::stageUninstallManifest(const char* manifestName) const {
  if (!_instance) return false;
  std::string manifest = *_pathToRcpHome + "/" + support::kDeployFolder + "/" + manifestName;
  if (!support::InstanceFiles::exists(manifest)) {
    reportFileNotFound(manifest);
    return false;
  }
  if (!_instance->copyUpdateManifestReplaceInstallerRootWith(manifest, std::nullopt)) {
    reportFileNotFound(support::kUpdateManifestName);
    return false;
  }
  platform::removeFileNoFollow(manifest);
  return true;
}

bool HotfixUninstall::copyUninstallManifest() const {
  return stageUninstallManifest(kHotfixUninstallManifest);
}

bool HotfixUninstall::copyPeloraUninstallManifest() const {
  return stageUninstallManifest(kPeloraUninstallManifest);
}

void HotfixUninstall::startProvisioning() const {
  if (!_instance) return;
  _instance->removeProvisionRCFile();
  log(platform::kLogInfo, "Launching platform to uninstall provisioned features...");
  std::vector<std::string> arguments =
      launcher::updateRunArguments(support::InstallUtil::getCurrentLocale(), {});
  // Two update runs, the second after the first has exited.
  launcher::startLauncherAndWait(*_pathToRcpHome, arguments);
  launcher::startLauncherAndWait(*_pathToRcpHome, arguments);
}

void HotfixUninstall::cleanup() const {
  if (!_instance) return;
  _instance->removeProvisionRCFile();
  log(platform::kLogInfo, "Begin to start provisoning system to cleanup features");
  launcher::startLauncherAndWait(*_pathToRcpHome, launcher::cleanupRunArguments());
}

bool HotfixUninstall::rollBack(bool (HotfixUninstall::*stage)() const) const {
  if (!_instance || !(this->*stage)()) return false;
  _instance->backupInstallManifest();
  _instance->updateProvisionManifestVersion(support::InstallUtil::generateNewManifestVersion());
  startProvisioning();
  // The recorded hotfix goes before the result is known, and stays gone on failure.
  _instance->updateHotfixVersion(std::nullopt);
  if (_instance->getProvisioningResult() == -1) {
    log(platform::kLogError, "%s", kProvisioningFailedMessage);
    std::fprintf(out_, "%s\n", kProvisioningFailedMessage);
    return false;
  }
  cleanup();
  _instance->removeProvisionRCFile();
  std::fprintf(out_, "%s\n", kProvisioningSucceededMessage);
  removeHotfixReceipt();
  _instance->updatePermissionsUpdateWorkspace(false, true);
  return true;
}

bool HotfixUninstall::uninstallOldHotfix() const {
  return rollBack(&HotfixUninstall::copyUninstallManifest);
}

bool HotfixUninstall::uninstallOldPeloraHotfix() const {
  return rollBack(&HotfixUninstall::copyPeloraUninstallManifest);
}

bool HotfixUninstall::removeHotfixReceipt() const { return true; }

}  // namespace hotfix
