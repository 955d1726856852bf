#include "installer/hotfix/HotfixUninstall.h"

#include "installer/hotfix/HotfixConstants.h"
#include "installer/support/InstallUtil.h"
#include "installer/files/InstanceFiles.h"
#include "installer/support/LauncherContract.h"
#include "installer/support/RecordCheck.h"
#include "installer/support/RecordFileReport.h"
#include "installer/support/SupportConstants.h"
#include "platform/SystemLog.h"

namespace hotfix {
namespace {

namespace launcher = support::LauncherContract;
using platform::SystemLog::log;

}  // namespace

HotfixUninstall::HotfixUninstall(std::string pathToRcpHome, std::FILE* out)
    : _pathToRcpHome(std::move(pathToRcpHome)), _instance(_pathToRcpHome), out_(out) {}

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

// The uninstall manifest stays in "deploy" until the rollback has been carried out and
// recorded (removeUninstallManifest): a run that is stopped or fails before then can be repeated.
bool HotfixUninstall::stageUninstallManifest(const char* manifestName) const {
  std::string manifest = uninstallManifestPath(manifestName);
  if (!support::InstanceFiles::exists(manifest)) {
    reportFileNotFound(manifest);
    return false;
  }
  if (!_instance.copyUpdateManifestReplaceInstallerRootWith(manifest, std::nullopt)) {
    reportFileNotFound(support::kUpdateManifestName);
    return false;
  }
  return true;
}

std::string HotfixUninstall::uninstallManifestPath(const char* manifestName) const {
  return support::InstanceFiles::appendPathComponent(
      support::InstanceFiles::appendPathComponent(_pathToRcpHome, support::kDeployFolder), manifestName);
}

// A rolled-back hotfix cannot be rolled back a second time. The launcher has run in between:
// "deploy" may be a link by now, which the removal never follows.
void HotfixUninstall::removeUninstallManifest(const char* manifestName) const {
  support::RecordFileReport::removeOrWarn(uninstallManifestPath(manifestName));
}

bool HotfixUninstall::copyUninstallManifest() const {
  return stageUninstallManifest(kHotfixUninstallManifest);
}

bool HotfixUninstall::copyPeloraUninstallManifest() const {
  return stageUninstallManifest(kPeloraUninstallManifest);
}

bool HotfixUninstall::startProvisioning() const {
  _instance.removeProvisionRCFile();
  log(platform::kLogInfo, "Launching platform to uninstall provisioned features...");
  std::vector<std::string> arguments =
      launcher::updateRunArguments(support::InstallUtil::getCurrentLocale(), {});
  // Two update runs, the second after the first has exited.
  bool firstExited = launcher::startLauncherAndWait(_pathToRcpHome, arguments);
  bool secondExited = launcher::startLauncherAndWait(_pathToRcpHome, arguments);
  return firstExited && secondExited;
}

bool HotfixUninstall::cleanup() const {
  _instance.removeProvisionRCFile();
  log(platform::kLogInfo, "Begin to start provisoning system to cleanup features");
  return launcher::startLauncherAndWait(_pathToRcpHome, launcher::cleanupRunArguments());
}

void HotfixUninstall::reportProvisioningFailed() const {
  log(platform::kLogError, "%s", kProvisioningFailedMessage);
  std::fprintf(out_, "%s\n", kProvisioningFailedMessage);
}

// Logged and shown to the user, who otherwise would see the rollback as done.
bool HotfixUninstall::recordWritten(bool written, const std::string& file) const {
  if (written) return true;
  support::RecordFileReport::writeFailed(file);
  std::fprintf(out_, "Fail to write %s.\n", file.c_str());
  return false;
}

// A launcher that did not exit on its own fails the rollback whatever result file it left. The
// success line is printed only when the records were written too.
bool HotfixUninstall::rollBack(bool (HotfixUninstall::*stage)() const, const char* manifestName) const {
  // The records the rollback rewrites are read first: one that cannot be read stops it here.
  namespace check = support::RecordCheck;
  if (!check::recordsReadable(_pathToRcpHome, {check::kLauncherSettings, check::kInstallInfo})) {
    return false;
  }
  if (!(this->*stage)()) return false;
  _instance.backupInstallManifest();
  bool recorded = recordWritten(
      _instance.updateProvisionManifestVersion(support::InstallUtil::generateNewManifestVersion()),
      support::InstanceFiles::appendPathComponent(_pathToRcpHome, support::kLauncherPropertiesName));
  bool launcherExited = startProvisioning();
  // The recorded hotfix goes before the result is known, and stays gone on failure.
  recorded = recordWritten(_instance.updateHotfixVersion(std::nullopt),
                           support::InstanceFiles::appendPathComponent(_pathToRcpHome, support::kInstallInfoName)) && recorded;
  if (!launcherExited || _instance.getProvisioningResult() == -1 || !cleanup()) {
    reportProvisioningFailed();
    return false;
  }
  _instance.removeProvisionRCFile();
  if (recorded) std::fprintf(out_, "%s\n", kProvisioningSucceededMessage);
  removeHotfixReceipt();
  _instance.updatePermissionsUpdateWorkspace(false, true);
  if (recorded) removeUninstallManifest(manifestName);
  return recorded;
}

// A hotfix leaves no receipt of its own to remove; the step stays where the rollback has it.
bool HotfixUninstall::removeHotfixReceipt() const { return true; }

bool HotfixUninstall::uninstallOldHotfix() const {
  return rollBack(&HotfixUninstall::copyUninstallManifest, kHotfixUninstallManifest);
}

bool HotfixUninstall::uninstallOldPeloraHotfix() const {
  return rollBack(&HotfixUninstall::copyPeloraUninstallManifest, kPeloraUninstallManifest);
}

}  // namespace hotfix
