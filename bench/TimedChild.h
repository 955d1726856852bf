#pragma once
// Runs a program as a child process and measures it: wall time from start to end, and the
// child's peak resident set as the kernel reports it (ru_maxrss of wait4).
#include <optional>
#include <string>
#include <vector>

namespace bench {

struct ChildMeasure {
  double seconds;
  long peakRssKb;
};

// argv[0] is looked up in PATH (unless it holds a "/"); `environment` entries ("NAME=value") are added to ours.
// None when the child could not be started or did not exit with status 0.
std::optional<ChildMeasure> runTimed(const std::vector<std::string>& argv,
                                     const std::vector<std::string>& environment = {});

}  // namespace bench
