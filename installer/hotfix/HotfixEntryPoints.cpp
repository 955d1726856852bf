// The exported entry points of the hotfix uninstall library.
#include "installer/hotfix/HotfixConstants.h"
#include "installer/hotfix/HotfixUninstall.h"
#include "installer/hotfix/RCPHotfixUninstall.h"
#include "installer/support/InstallUtil.h"
#include "installer/support/InstanceLock.h"
#include "installer/files/InstanceFiles.h"
#include "platform/SystemLog.h"

namespace hotfix {
namespace {

namespace InstallUtil = support::InstallUtil;
using platform::SystemLog::log;

int uninstallHotfix(const char* installLocation, bool peloraHotfix) {
  log(platform::kLogInfo, "RCP Home : %s .", installLocation ? installLocation : "(null)");
  if (installLocation == nullptr || !support::InstanceFiles::exists(installLocation)) {
    return kStatusNoInstance;
  }
  const std::string rcpHome = support::InstanceFiles::appendPathComponent(installLocation, kRcpFolderName);

  log(platform::kLogInfo, "Checking unsupported characters.");
  if (InstallUtil::containUnSupportedCharacters(rcpHome)) return kStatusUnsupportedCharacters;
  log(platform::kLogInfo, "Checking target platform. ");
  if (!support::InstanceService(rcpHome).hasInstanceInstalled()) return kStatusNoInstance;
  log(platform::kLogInfo, "Checking whether platform is running.");
  std::optional<std::string> bundle = InstallUtil::getBundlePath(rcpHome);
  if (!bundle) return kStatusNoBundle;
  if (InstallUtil::checkBundleIsRunning(*bundle)) return kStatusPlatformRunning;

  log(platform::kLogInfo, "Removing hotfix.");
  // Held to the end of the rollback: no other run changes the instance meanwhile.
  support::InstanceLock lock(rcpHome);
  if (!lock.mayChange()) return kStatusProvisioningFailed;
  HotfixUninstall rollback(rcpHome);
  bool done = peloraHotfix ? rollback.uninstallOldPeloraHotfix() : rollback.uninstallOldHotfix();
  return done ? kStatusRolledBack : kStatusProvisioningFailed;
}

}  // namespace
}  // namespace hotfix

// No exception may cross into the host program.
extern "C" int32_t RCP_UninstallHotfix(const char* installLocation, bool peloraHotfix) {
  try {
    return hotfix::uninstallHotfix(installLocation, peloraHotfix);
  } catch (...) {
    return hotfix::kStatusProvisioningFailed;
  }
}

extern "C" int32_t RCPUninstallPeloraHotfix(const char* installLocation) {
  return RCP_UninstallHotfix(installLocation, true);
}

extern "C" int32_t RCPUninstallHotfix(const char* installLocation) {
  return RCP_UninstallHotfix(installLocation, false);
}
