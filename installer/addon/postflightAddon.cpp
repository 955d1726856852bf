// The post-install program the package installer runs after placing an add-on package's files:
//   postflightAddon <package> <destination> [3] [4] [framework folder]
// Installs the add-on into the instance; exit status 0, 190 (provisioning failed) or 199.
#include "installer/addon/PostinstallRun.h"

int main(int argc, char** argv) {
  return addon::runPostinstall(addon::readAddonCommandLine(argc, argv));
}
