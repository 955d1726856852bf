// The pre-install checker the package installer runs for an add-on package:
//   preflightAddon <package> <destination> [3] [4] [framework folder] [bundle name]
// Its exit status tells the installer whether the add-on may be installed.
#include "installer/addon/AddonToolStartup.h"
#include "installer/addon/PreinstallCheck.h"

int main(int argc, char** argv) {
  return addon::runPreinstallCheck(addon::readAddonCommandLine(argc, argv));
}
