// Rolls back the Pelora hotfix of an installed platform instance; run as root:
//   sudo peloraHotfixUninstall [-rcphome <absolute path of the folder that holds rcp>]
#include <cstdio>

#include "installer/hotfix/HotfixProgram.h"

int main(int argc, char** argv) { return hotfix::runHotfixUninstallProgram(argc, argv, stdout); }
