// Removes an add-on's record from an instance's add-on registry:
//   purgeAddonRecord -rcphome <install location> -addonID <add-on id>
// Always exits with 0; a refusal is printed as an "Error:" line.
#include <cstdio>

#include "installer/addonuninstall/PurgeAddonRecordRun.h"

int main(int argc, char** argv) { return addonuninstall::runPurgeAddonRecord(argc, argv, stdout); }
