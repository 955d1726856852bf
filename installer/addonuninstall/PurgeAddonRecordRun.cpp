#include "installer/addonuninstall/PurgeAddonRecordRun.h"

#include "installer/addonuninstall/AddonUninstall.h"
#include "installer/addonuninstall/AddonUninstallConstants.h"
#include "installer/addonuninstall/RCPAddonUninstall.h"
#include "installer/support/UninstallErrorLine.h"

namespace addonuninstall {

int runPurgeAddonRecord(int argc, const char* const* argv, std::FILE* out) {
  std::optional<std::string> location = getValueByKey(argc, argv, kRcpHomeOption);
  std::optional<std::string> addonID = getValueByKey(argc, argv, kAddonIDOption);
  int status = RCPRemoveAddonRegistryOnly(location ? location->c_str() : nullptr,
                                          addonID ? addonID->c_str() : nullptr);
  if (status == kStatusAddonNotInstalled) {
    std::fprintf(out, "Error:%d: Fail to locate installed addon : %s . \n", status,
                 addonID.value_or("").c_str());
  } else if (status == kStatusProvisioningFailed) {
    // The record could not be removed; the log names the file and why.
    std::fprintf(out, "Error:%d: Fail to remove addon record : %s . \n", status,
                 addonID.value_or("").c_str());
  } else {
    support::printSharedUninstallErrorLine(out, status);
  }
  return 0;
}

}  // namespace addonuninstall
