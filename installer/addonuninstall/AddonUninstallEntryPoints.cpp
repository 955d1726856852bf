// The exported entry points of the add-on uninstall library.
#include <cstdarg>

#include "installer/addonuninstall/AddonUninstall.h"
#include "installer/addonuninstall/AddonUninstallConstants.h"
#include "installer/addonuninstall/RCPAddonUninstall.h"
#include "installer/support/AddonRegistryFile.h"
#include "installer/support/InstallUtil.h"
#include "installer/support/RecordFileReport.h"
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

// A registry that cannot be read finds no add-on; the file is named, as it is left unchanged.
// Logged by both entry points, like a record that cannot be written back.
void logWhenRegistryUnreadable(const std::string& rcpHome) {
  std::string registry = rcpHome + "/" + support::kAddonInfoName;
  if (!support::AddonRegistryFile::readAddonRecordsForRewrite(registry)) {
    support::RecordFileReport::unreadable(platform::kLogError, registry);
  }
}

// The checks both entry points make, in order; kStatusDone when the add-on may be removed.
int checkAddonRemoval(const std::string& installLocation, const std::string& rcpHome,
                      const std::string& addonID, const CheckLog& log) {
  log(platform::kLogInfo, "Checking unsupported characters.");
  if (InstallUtil::containUnSupportedCharacters(rcpHome)) {
    log(platform::kLogError, "The specified location contains unsupported characters.");
    return kStatusUnsupportedCharacters;
  }
  log(platform::kLogInfo, "Checking target platform.");
  support::InstanceService service(rcpHome);
  if (!service.hasInstanceInstalled()) {
    log(platform::kLogError, "Fail to locate target platform. ");
    return kStatusNoInstance;
  }
  log(platform::kLogInfo, "Checking whether platform is running.");
  if (platformRunning(installLocation)) {
    log(platform::kLogError, "Platform is running.");
    return kStatusPlatformRunning;
  }
  log(platform::kLogInfo, "Checking installed addon : %s .", addonID.c_str());
  if (!service.getAddonInstalledVersion(addonID)) {
    logWhenRegistryUnreadable(rcpHome);
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

int uninstallAddon(const char* installLocationText, const char* addonIDText) {
  std::optional<std::string> installLocation = textOf(installLocationText);
  std::optional<std::string> addonID = textOf(addonIDText);
  if (!installLocation) return kStatusNoInstance;
  if (!addonID) return kStatusNoAddonOrManifest;
  std::string rcpHome = *installLocation + "/rcp";

  platform::AttachedLogFile logFile(uninstallLogPath(*addonID));
  CheckLog log(true);
  log(platform::kLogInfo, "addon ID : %s .", addonID->c_str());
  log(platform::kLogInfo, "Home location : %s .", rcpHome.c_str());
  int status = checkAddonRemoval(*installLocation, rcpHome, *addonID, log);
  if (status != kStatusDone) return status;
  log(platform::kLogInfo, "Begin to uninstall addon: %s", addonID->c_str());
  return AddonUninstall(rcpHome, addonID).uninstallAddon();
}

int removeAddonRegistryOnly(const char* installLocationText, const char* addonIDText) {
  std::optional<std::string> installLocation = textOf(installLocationText);
  std::optional<std::string> addonID = textOf(addonIDText);
  if (!installLocation) return kStatusNoInstance;
  if (!addonID) return kStatusNoAddonOrManifest;
  std::string rcpHome = *installLocation + "/rcp";
  int status = checkAddonRemoval(*installLocation, rcpHome, *addonID, CheckLog(false));
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
