#pragma once
// The post-install program's run: read the command line and the package configuration, open
// the per-add-on log file, reset the installer's error record and install the add-on.
#include "installer/addon/AddonToolStartup.h"

namespace addon {

// The exit status of postflightAddon: 0, 190 or 199.
int runPostinstall(const AddonCommandLine& commandLine);

}  // namespace addon
