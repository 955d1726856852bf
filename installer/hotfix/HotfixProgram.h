#pragma once
// The command line of peloraHotfixUninstall, run as root from a terminal:
//   peloraHotfixUninstall [-rcphome <install location>]
// Without a location it asks the product's register file, then tries the default location.
// Rolls back the Pelora hotfix; the exit status is the rollback's status.
#include <cstdio>

namespace hotfix {

int runHotfixUninstallProgram(int argc, const char* const* argv, std::FILE* out);

}  // namespace hotfix
