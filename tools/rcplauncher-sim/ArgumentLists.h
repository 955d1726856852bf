#pragma once
// The argument lists the simulated launcher accepts: exactly the lists the installer programs
// pass, in their order, and nothing else.
#include <optional>
#include <string>
#include <vector>

namespace rcpsim {

enum class Operation { Update, Cleanup };

struct LauncherRequest {
  Operation operation;
  // The folder given by "-DprovUpdateSiteListOverride=file:<folder>"; only the add-on
  // installer's update run has one.
  std::optional<std::string> updateSite;
};

// `arguments` without the program path. None for any list that is not one of:
//   the add-on update run (13 arguments, with the update-site override),
//   the uninstallers' update run (11 arguments),
//   the cleanup run (7 arguments).
std::optional<LauncherRequest> recognizeArguments(const std::vector<std::string>& arguments);

}  // namespace rcpsim
