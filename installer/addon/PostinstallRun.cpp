#include "installer/addon/PostinstallRun.h"

#include "installer/addon/Addon.h"
#include "installer/addon/AddonConstants.h"
#include "installer/support/InstallUtil.h"
#include "platform/SystemLog.h"

namespace addon {

// The bundle override (position 6) is the checker's alone: the rcp home is found from the
// package's configuration and the destination.
int runPostinstall(const AddonCommandLine& positions) {
  AddonConfiguration configuration = readAddonConfiguration(positions.packagePath);
  AddonLogFile logFile = setupLogFile(configuration);
  platform::SystemLog::log(kLevelInfo, "Get install package's location: %s",
                           positions.packagePath.value_or("").c_str());
  platform::SystemLog::log(kLevelInfo, "Get install destination: %s",
                           positions.destination.value_or("").c_str());

  Addon addon(positions.packagePath, positions.destination, locateRcpHome(positions, configuration));
  platform::SystemLog::log(kLevelInfo, "Begin to install features .");
  support::InstallUtil::initInternalPasteboard(true);
  const int status = addon.installAddon();
  // The log file ends with how the run ended.
  platform::SystemLog::log(kLevelInfo, "postflightAddon exits with %d", status);
  return status;
}

}  // namespace addon
