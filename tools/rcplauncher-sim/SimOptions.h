#pragma once
// Switches that let tests steer the simulated launcher through its environment:
//   RCPSIM_FORCE_RC=<n>   write <n> (a decimal integer, may be negative) as the result code,
//                         whatever the run did; the run's work is still done.
//   RCPSIM_NO_RESULT=1    write no result file at all; the run's work is still done ("0": off).
// An empty value counts as unset. Any other value is a mistake in the test, and the launcher
// refuses the run rather than guess.
#include <optional>

namespace rcpsim {

struct SimOptions {
  std::optional<int> forcedResult;
  bool writeNoResult = false;
};

// None when a variable holds a value it does not understand.
std::optional<SimOptions> readSimOptions();

}  // namespace rcpsim
