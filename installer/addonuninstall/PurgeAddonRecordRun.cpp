#include "installer/addonuninstall/PurgeAddonRecordRun.h"

#include "installer/addonuninstall/AddonUninstall.h"
#include "installer/addonuninstall/AddonUninstallConstants.h"
#include "installer/addonuninstall/RCPAddonUninstall.h"
#include "installer/support/RunLogFileName.h"
#include "installer/support/UninstallErrorLine.h"
#include "platform/AttachedLogFile.h"
#include "platform/SystemLog.h"

namespace addonuninstall {
namespace {

// The program exits 0 whatever happened, so its log is where an administrator tells a removed
// record from a refusal: one line naming the outcome, an error for anything but a removal.
void logOutcome(int status, const std::string& addonID) {
  using platform::kLogError;
  switch (status) {
    case kStatusDone:
      platform::SystemLog::log(platform::kLogInfo, "Removed addon record : %s .", addonID.c_str());
      break;
    case kStatusUnsupportedCharacters:
      platform::SystemLog::log(kLogError, "The specified location contains unsupported characters.");
      break;
    case kStatusNoInstance:
      platform::SystemLog::log(kLogError, "Fail to locate target platform. ");
      break;
    case kStatusPlatformRunning:
      platform::SystemLog::log(kLogError, "Platform is running.");
      break;
    case kStatusAddonNotInstalled:
      platform::SystemLog::log(kLogError, "Fail to locate installed addon : %s .", addonID.c_str());
      break;
    case kStatusNoAddonOrManifest:
      platform::SystemLog::log(kLogError, "No addon ID given: nothing removed.");
      break;
    default:
      platform::SystemLog::log(kLogError, "Fail to remove addon record : %s .", addonID.c_str());
      break;
  }
  platform::SystemLog::log(status == kStatusDone ? platform::kLogInfo : kLogError,
                           "purgeAddonRecord status : %d .", status);
}

void printErrorLine(std::FILE* out, int status, const std::string& addonID) {
  if (status == kStatusAddonNotInstalled) {
    std::fprintf(out, "Error:%d: Fail to locate installed addon : %s . \n", status, addonID.c_str());
  } else if (status == kStatusProvisioningFailed) {
    // The record could not be removed; the log names the file and why.
    std::fprintf(out, "Error:%d: Fail to remove addon record : %s . \n", status, addonID.c_str());
  } else {
    support::printSharedUninstallErrorLine(out, status);
  }
}

}  // namespace

int runPurgeAddonRecord(int argc, const char* const* argv, std::FILE* out) {
  std::optional<std::string> location = getValueByKey(argc, argv, kRcpHomeOption);
  std::optional<std::string> addonID = getValueByKey(argc, argv, kAddonIDOption);
  // The same file the full uninstall of this add-on logs to.
  platform::AttachedLogFile logFile(
      support::runLogFilePath(addonID, kUninstallLogSuffix, kFallbackUninstallLog));
  platform::SystemLog::log(platform::kLogInfo, "Removing addon record : %s under %s .",
                           addonID.value_or("(null)").c_str(), location.value_or("(null)").c_str());
  int status = RCPRemoveAddonRegistryOnly(location ? location->c_str() : nullptr,
                                          addonID ? addonID->c_str() : nullptr);
  logOutcome(status, addonID.value_or("(null)"));
  printErrorLine(out, status, addonID.value_or(""));
  return 0;
}

}  // namespace addonuninstall
