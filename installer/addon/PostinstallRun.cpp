#include "installer/addon/PostinstallRun.h"

#include "installer/addon/Addon.h"
#include "installer/addon/AddonConstants.h"
#include "installer/support/InstallUtil.h"
#include "platform/SystemLog.h"

namespace addon {

int runPostinstall(const AddonCommandLine& commandLine) {
  // The bundle override (position 6) is the checker's alone.
  AddonCommandLine positions = commandLine;
  positions.targetBundle.reset();

  AddonConfiguration configuration = readAddonConfiguration(positions.packagePath);
  AddonLogFile logFile = setupLogFile(configuration);
  platform::SystemLog::log(kLevelInfo, "Get install package's location: %s",
                           positions.packagePath.value_or("").c_str());
  platform::SystemLog::log(kLevelInfo, "Get install destination: %s",
                           positions.destination.value_or("").c_str());

  Addon addon(positions.packagePath, positions.destination, locateRcpHome(positions, configuration));
  platform::SystemLog::log(kLevelInfo, "Begin to install features .");
  support::InstallUtil::initInternalPasteboard(true);
  return addon.installAddon();
}

}  // namespace addon
