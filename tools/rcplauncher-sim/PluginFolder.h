#pragma once
// Carries out an update plan on an instance's "eclipse/plugins" folder.
#include <optional>
#include <string>

#include "tools/rcplauncher-sim/UpdatePlan.h"

namespace rcpsim {

// Applies the changes in order and stops at the first that fails; gives its error text, or
// none when every change was made. An install whose plug-in is already there leaves it (the
// same id and version are the same plug-in); an uninstall of a plug-in that is not there has
// nothing to do. Links are copied and removed as links, never followed.
std::optional<std::string> applyUpdatePlan(const UpdatePlan& plan, const std::string& pluginsFolder);

}  // namespace rcpsim
