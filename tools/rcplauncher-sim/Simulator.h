#pragma once
// The simulated platform launcher. Copied into an instance as "rcplauncher", it does what the
// installer programs rely on, for real, on that instance:
//   - the rcp home is the folder that holds the launcher (from argv[0], else /proc/self/exe);
//     the working folder is the caller's and is not used;
//   - every invocation is appended to the journal (Journal.h) beside the rcp home, and whether a
//     result file was there as it started to ".rcplauncher_saw_result";
//   - only the argument lists of ArgumentLists.h are accepted; any other list, or a steering
//     variable it does not understand (SimOptions.h), is refused with a line on standard error
//     and result code 13, whatever the steering variables ask for;
//   - "update" applies "deploy/install.update.xml" to "eclipse/plugins" (UpdatePlan.h);
//   - "cleanup" removes "deploy/install.update.xml" and reports the outcome of the last update
//     run since the previous cleanup (0 when there was none);
//   - the outcome is written as "rc=<n>" to ".provisioning_rc" beside the rcp home: 0 on
//     success, 1 on failure, 13 for a refused run.
// The exit status is the result code when it lies in 1..255, 0 for 0, else 1; callers ignore it.
#include <optional>
#include <string>
#include <vector>

namespace rcpsim {

inline constexpr int kResultSuccess = 0;
inline constexpr int kResultFailure = 1;
inline constexpr int kResultRefused = 13;

// The folder that holds the launcher; none when it cannot be told.
std::optional<std::string> locateRcpHome(const char* argv0);

// One invocation; `arguments` without the program path. Gives the exit status.
int runLauncher(const std::string& pathToRcphome, const std::vector<std::string>& arguments);

}  // namespace rcpsim
