#pragma once
// The executable path of each running process, in /proc order (ascending pid). Processes whose
// executable cannot be read (gone, no permission, kernel threads) are left out.
#include <string>
#include <vector>

namespace platform {

std::vector<std::string> runningExecutablePaths();

}  // namespace platform
