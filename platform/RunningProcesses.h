#pragma once
// The executable path of each running process, in /proc order (the kernel lists ascending pids). Processes whose
// executable cannot be read (gone, no permission, kernel threads) are left out. Paths are as
// the kernel gives them: an executable replaced or removed while it runs ends in " (deleted)".
#include <string>
#include <vector>

namespace platform {

std::vector<std::string> runningExecutablePaths();

}  // namespace platform
