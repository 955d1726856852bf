#include "installer/addonuninstall/PurgeAddonRecordRun.h"

#include "installer/addonuninstall/AddonUninstall.h"
#include "installer/addonuninstall/AddonUninstallConstants.h"
#include "installer/addonuninstall/RCPAddonUninstall.h"

namespace addonuninstall {

int runPurgeAddonRecord(int argc, const char* const* argv, std::FILE* out) {
  std::optional<std::string> location = getValueByKey(argc, argv, kRcpHomeOption);
  std::optional<std::string> addonID = getValueByKey(argc, argv, kAddonIDOption);
  int status = RCPRemoveAddonRegistryOnly(location ? location->c_str() : nullptr,
                                          addonID ? addonID->c_str() : nullptr);
  switch (status) {
    case kStatusUnsupportedCharacters:
      std::fprintf(out, "Error:%d: The specified location contains unsupported characters. \n", status);
      break;
    case kStatusNoInstance:
      std::fprintf(out, "Error:%d: Fail to locate target platform. \n", status);
      break;
    case kStatusPlatformRunning:
      std::fprintf(out, "Error:%d: Platform is running. \n", status);
      break;
    case kStatusAddonNotInstalled:
      std::fprintf(out, "Error:%d: Fail to locate installed addon : %s . \n", status,
                   addonID.value_or("").c_str());
      break;
    default:
      break;
  }
  return 0;
}

}  // namespace addonuninstall
