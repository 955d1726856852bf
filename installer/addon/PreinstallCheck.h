#pragma once
// The pre-install check of an add-on package against the destination: the exit status of
// preflightAddon (AddonConstants.h), 0 when the add-on may be installed.
#include "installer/addon/AddonToolStartup.h"

namespace addon {

int runPreinstallCheck(const AddonCommandLine& commandLine);

}  // namespace addon
