// The two provisioning runs of an add-on installation. The launcher reports only through the
// result file next to the rcp home; each run deletes the file of any earlier run first, so the
// result read afterwards can only come from this installation.
#include "installer/addon/Addon.h"
#include "installer/addon/AddonConstants.h"
#include "installer/support/InstallUtil.h"
#include "installer/support/LauncherContract.h"
#include "installer/formats/StringUtil.h"
#include "platform/SystemLog.h"

namespace addon {

namespace launcher = support::LauncherContract;

bool Addon::startProvisioning() const {
  _service.removeProvisionRCFile();
  platform::SystemLog::log(kLevelInfo, "Begin to start provisoning system to install features");
  // The update site goes in unchanged, without any encoding.
  std::string updateSite = support::StringUtil::stringByReplacingOccurrencesOfStringTargetWithString(
      launcher::kUpdateSiteOverrideTemplate, kUpdateSitePlaceholder,
      property(kKeyUpdateSiteList).value_or(""));
  std::vector<std::string> arguments = launcher::updateRunArguments(
      support::InstallUtil::getCurrentLocale(),
      {launcher::kVmProvisioningOperationUpdate, updateSite});
  return _pathToRcphome && launcher::startLauncherAndWait(*_pathToRcphome, arguments);
}

bool Addon::startProvisioningWithCleanup() const {
  _service.removeProvisionRCFile();
  platform::SystemLog::log(kLevelInfo, "Begin to start provisoning system to cleanup features");
  return _pathToRcphome &&
         launcher::startLauncherAndWait(*_pathToRcphome, launcher::cleanupRunArguments());
}

}  // namespace addon
