// The exported entry points of the add-on uninstall library.
#include <cstdarg>

#include "installer/addonuninstall/AddonUninstall.h"
#include "installer/addonuninstall/AddonUninstallConstants.h"
#include "installer/addonuninstall/RCPAddonUninstall.h"
#include "installer/files/InstanceFiles.h"
#include "installer/support/InstallUtil.h"
#include "installer/support/InstanceLock.h"
#include "installer/support/InstanceService.h"
#include "installer/support/RecordCheck.h"
#include "installer/support/RunLogFileName.h"
#include "installer/support/SupportConstants.h"
#include "platform/AttachedLogFile.h"
#include "platform/SystemLog.h"

namespace addonuninstall {
namespace {

namespace InstallUtil = support::InstallUtil;

// Logs only when asked: the registry-only entry point checks silently.
class CheckLog {
 public:
  explicit CheckLog(bool enabled) : enabled_(enabled) {}
  void operator()(int level, const char* format, ...) const __attribute__((format(printf, 3, 4)));

 private:
  bool enabled_;
};

void CheckLog::operator()(int level, const char* format, ...) const {
  if (!enabled_) return;
  va_list args;
  va_start(args, format);
  platform::SystemLog::logv(level, format, args);
  va_end(args);
}

std::optional<std::string> textOf(const char* text) {
  return text ? std::optional<std::string>(text) : std::nullopt;
}

bool platformRunning(const std::string& installLocation) {
  std::optional<std::string> bundle = InstallUtil::getBundlePath(installLocation);
  return (bundle && InstallUtil::checkBundleIsRunning(*bundle)) ||
         InstallUtil::checkBundleIsRunning(installLocation);
}

// The checks both entry points make before the instance is locked, in order; kStatusDone when
// the instance may be changed.
int checkInstance(const std::string& installLocation, const std::string& rcpHome, const CheckLog& log) {
  log(platform::kLogInfo, "Checking unsupported characters.");
  if (InstallUtil::containUnSupportedCharacters(rcpHome)) {
    log(platform::kLogError, "The specified location contains unsupported characters.");
    return kStatusUnsupportedCharacters;
  }
  log(platform::kLogInfo, "Checking target platform.");
  if (!support::InstanceService(rcpHome).hasInstanceInstalled()) {
    log(platform::kLogError, "Fail to locate target platform. ");
    return kStatusNoInstance;
  }
  log(platform::kLogInfo, "Checking whether platform is running.");
  if (platformRunning(installLocation)) {
    log(platform::kLogError, "Platform is running.");
    return kStatusPlatformRunning;
  }
  return kStatusDone;
}

// With the instance locked: the records the removal rewrites must read (one that does not is
// logged by its path, by both entry points, and is left unchanged), and the add-on must be
// recorded.
int checkAddon(const std::string& rcpHome, const std::string& addonID, bool withSettings,
               const CheckLog& log) {
  namespace check = support::RecordCheck;
  std::vector<check::Record> rewritten = {check::kAddonRegistry};
  if (withSettings) rewritten.push_back(check::kLauncherSettings);
  if (!check::recordsReadable(rcpHome, rewritten)) return kStatusProvisioningFailed;
  log(platform::kLogInfo, "Checking installed addon : %s .", addonID.c_str());
  if (!support::InstanceService(rcpHome).getAddonInstalledVersion(addonID)) {
    log(platform::kLogError, "Fail to locate installed addon : %s .", addonID.c_str());
    return kStatusAddonNotInstalled;
  }
  return kStatusDone;
}

// "/tmp/rcp_" + id + "_uninstall.log"; an id that would name a file outside /tmp or the folder
// itself logs to the shared fallback.
std::string uninstallLogPath(const std::string& addonID) {
  return support::runLogFilePath(addonID, kUninstallLogSuffix, kFallbackUninstallLog);
}

int uninstallWithLog(const std::string& installLocation, const std::string& rcpHome,
                     const std::string& addonID) {
  CheckLog log(true);
  log(platform::kLogInfo, "addon ID : %s .", addonID.c_str());
  log(platform::kLogInfo, "Home location : %s .", rcpHome.c_str());
  int status = checkInstance(installLocation, rcpHome, log);
  if (status != kStatusDone) return status;
  // Held to the end of the uninstall: no other run changes the instance meanwhile.
  support::InstanceLock lock(rcpHome);
  if (!lock.mayChange()) return kStatusProvisioningFailed;
  status = checkAddon(rcpHome, addonID, true, log);
  if (status != kStatusDone) return status;
  log(platform::kLogInfo, "Begin to uninstall addon: %s", addonID.c_str());
  return AddonUninstall(rcpHome, addonID).uninstallAddon();
}

int uninstallAddon(const char* installLocationText, const char* addonIDText) {
  std::optional<std::string> installLocation = textOf(installLocationText);
  std::optional<std::string> addonID = textOf(addonIDText);
  if (!installLocation) return kStatusNoInstance;
  if (!addonID) return kStatusNoAddonOrManifest;
  const std::string rcpHome = support::InstanceFiles::appendPathComponent(*installLocation, kRcpFolderName);

  platform::AttachedLogFile logFile(uninstallLogPath(*addonID));
  const int status = uninstallWithLog(*installLocation, rcpHome, *addonID);
  // The log file ends with how the call ended.
  platform::SystemLog::log(platform::kLogInfo, "RCPUninstallAddon exits with %d", status);
  return status;
}

int removeAddonRegistryOnly(const char* installLocationText, const char* addonIDText) {
  std::optional<std::string> installLocation = textOf(installLocationText);
  std::optional<std::string> addonID = textOf(addonIDText);
  if (!installLocation) return kStatusNoInstance;
  if (!addonID) return kStatusNoAddonOrManifest;
  const std::string rcpHome = support::InstanceFiles::appendPathComponent(*installLocation, kRcpFolderName);
  const CheckLog silent(false);
  int status = checkInstance(*installLocation, rcpHome, silent);
  if (status != kStatusDone) return status;
  support::InstanceLock lock(rcpHome);
  if (!lock.mayChange()) return kStatusProvisioningFailed;
  status = checkAddon(rcpHome, *addonID, false, silent);
  if (status != kStatusDone) return status;
  // The one line this entry point logs: a record that could not be removed names its file.
  return AddonUninstall(rcpHome, addonID).purgeAddonRecord() ? kStatusDone : kStatusProvisioningFailed;
}

}  // namespace
}  // namespace addonuninstall

// No exception may cross into the host program.
extern "C" int32_t RCPUninstallAddon(const char* installLocation, const char* addonID) {
  try {
    return addonuninstall::uninstallAddon(installLocation, addonID);
  } catch (...) {
    return addonuninstall::kStatusProvisioningFailed;
  }
}

extern "C" int32_t RCPRemoveAddonRegistryOnly(const char* installLocation, const char* addonID) {
  try {
    return addonuninstall::removeAddonRegistryOnly(installLocation, addonID);
  } catch (...) {
    return addonuninstall::kStatusProvisioningFailed;
  }
}
