#pragma once
// Switches that let tests steer the simulated launcher through its environment:
//   RCPSIM_FORCE_RC=<n>   write <n> (a decimal integer, may be negative) as the result code,
//                         whatever the run did; the run's work is still done.
//   RCPSIM_NO_RESULT=1    write no result file at all; the run's work is still done ("0": off).
//   RCPSIM_KILL_IN=<op>   a run of that operation ("update" or "cleanup") does its work and
//                         writes its result file, then kills itself with SIGKILL.
//   RCPSIM_KILL_RUN=<n>   the same for the n-th run the journal records (1 for the first), of
//                         any operation: one run of two in a row can be made to die.
//   RCPSIM_FILL_DISK=1    every run first removes the filler file ".rcpsim_filler" beside the rcp
//                         home and, once its result file is written, fills the file system there
//                         to the last byte: the program that started it then meets a full disk.
// An empty value counts as unset. Any other value is a mistake in the test, and the launcher
// refuses the run rather than guess.
#include <optional>
#include <string>

namespace rcpsim {

struct SimOptions {
  std::optional<int> forcedResult;
  bool writeNoResult = false;
  std::optional<std::string> killInOperation;  // "update" or "cleanup"
  std::optional<int> killRun;                   // 1 for the first run in the journal
  bool fillDisk = false;
};

// None when a variable holds a value it does not understand.
std::optional<SimOptions> readSimOptions();

}  // namespace rcpsim
