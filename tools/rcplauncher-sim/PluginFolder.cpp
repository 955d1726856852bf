#include "tools/rcplauncher-sim/PluginFolder.h"

#include <filesystem>

namespace rcpsim {
namespace {

namespace fs = std::filesystem;

bool isPresent(const fs::path& path) {
  std::error_code error;
  return fs::symlink_status(path, error).type() != fs::file_type::not_found;
}

std::optional<std::string> failure(const std::string& what, const fs::path& path, const std::error_code& error) {
  return what + " " + path.string() + ": " + error.message();
}

std::optional<std::string> install(const fs::path& source, const fs::path& target) {
  if (isPresent(target)) return std::nullopt;
  std::error_code error;
  fs::copy(source, target, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
  if (!error) return std::nullopt;
  std::error_code ignored;
  fs::remove_all(target, ignored);  // no half-copied plug-in stays behind
  return failure("cannot copy " + source.string() + " to", target, error);
}

std::optional<std::string> uninstall(const fs::path& target) {
  std::error_code error;
  fs::remove_all(target, error);
  if (error) return failure("cannot remove", target, error);
  return std::nullopt;
}

}  // namespace

std::optional<std::string> applyUpdatePlan(const UpdatePlan& plan, const std::string& pluginsFolder) {
  std::error_code error;
  if (!fs::is_directory(fs::symlink_status(pluginsFolder, error))) {
    return "no plug-in folder " + pluginsFolder;
  }
  for (const PluginChange& change : plan.changes) {
    fs::path target = fs::path(pluginsFolder) / change.pluginName;
    std::optional<std::string> problem = change.action == PluginChange::Action::Install
                                             ? install(*change.source, target)
                                             : uninstall(target);
    if (problem) return problem;
  }
  return std::nullopt;
}

}  // namespace rcpsim
