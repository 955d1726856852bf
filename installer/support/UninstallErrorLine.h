#pragma once
// The "Error:" lines both uninstall programs print on standard output for the refusals they
// share: 155 unsupported characters, 150 no platform instance, 170 the platform is running.
#include <cstdio>

namespace support {

// Prints the line of a shared refusal; nothing for any other status.
void printSharedUninstallErrorLine(std::FILE* out, int status);

}  // namespace support
