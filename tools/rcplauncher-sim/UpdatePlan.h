#pragma once
// What an update run does to "eclipse/plugins", read from the staged manifest
// "deploy/install.update.xml". The whole plan is checked before anything is changed, so a bad
// manifest or a missing source leaves the instance as it was.
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace rcpsim {

struct PluginChange {
  enum class Action { Install, Uninstall } action;
  std::string pluginName;              // "<id>_<version>", one path component
  std::optional<std::string> source;   // the plug-in in its update site; installs only
};

struct UpdatePlan {
  std::vector<PluginChange> changes;   // in manifest order
};

// Reads the manifest: every "feature" below root / "domain-object" / "object-data" / "install"
// / "installfeature" / "requirements". A feature without "action" or with "install" is copied
// from "<site>/plugins/<id>_<version>", where the site is its "url" after "file:", else
// `updateSite`; "uninstall" removes it. The error text says what is wrong.
std::variant<UpdatePlan, std::string> planUpdate(const std::string& manifestPath,
                                                 const std::optional<std::string>& updateSite);

}  // namespace rcpsim
