#pragma once
// Starts a program with an argument vector exactly as given (no shell), standard output and
// standard error on the null device, environment, working folder and standard input inherited,
// and waits for it without a time limit.
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The child's exit status (0-255) when it ran and exited; none when it could not be started
// or ended by a signal. argv[0] is the path of the program to run.
std::optional<int> runChildAndWait(const std::vector<std::string>& argv);

}  // namespace platform
