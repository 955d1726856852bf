#include <optional>
#include <string>
#include <vector>

#include "tools/rcplauncher-sim/Simulator.h"

int main(int argc, char** argv) {
  std::optional<std::string> rcpHome = rcpsim::locateRcpHome(argc > 0 ? argv[0] : nullptr);
  if (!rcpHome) return rcpsim::kResultFailure;
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return rcpsim::runLauncher(*rcpHome, arguments);
}
