#include "tools/rcplauncher-sim/UpdatePlan.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <pugixml.hpp>

#include <filesystem>
#include <string_view>

#include "platform/UniqueFd.h"

namespace rcpsim {
namespace {

using PlanOrError = std::variant<UpdatePlan, std::string>;
using ChangeOrError = std::variant<PluginChange, std::string>;

constexpr std::string_view kFileScheme = "file:";

// An id or version that could leave "eclipse/plugins" is refused, not joined into a path.
bool isPlainNamePart(std::string_view text) {
  return !text.empty() && text.find('/') == std::string_view::npos && text != "." && text != "..";
}

std::optional<std::string> siteOf(const pugi::xml_node& feature, const std::optional<std::string>& updateSite) {
  std::string_view url = feature.attribute("url").value();
  if (url.starts_with(kFileScheme)) return std::string(url.substr(kFileScheme.size()));
  return updateSite;
}

ChangeOrError changeFor(const pugi::xml_node& feature, const std::optional<std::string>& updateSite) {
  std::string id = feature.attribute("id").value();
  std::string version = feature.attribute("version").value();
  if (!isPlainNamePart(id) || !isPlainNamePart(version)) {
    return "feature without a usable id and version: '" + id + "' '" + version + "'";
  }
  PluginChange change{PluginChange::Action::Install, id + "_" + version, std::nullopt};
  pugi::xml_attribute action = feature.attribute("action");
  if (action && std::string_view(action.value()) == "uninstall") {
    change.action = PluginChange::Action::Uninstall;
    return change;
  }
  if (action && std::string_view(action.value()) != "install") {
    return "unknown action '" + std::string(action.value()) + "' for " + change.pluginName;
  }
  std::optional<std::string> site = siteOf(feature, updateSite);
  if (!site) return "no update site for " + change.pluginName;
  std::string source = *site + "/plugins/" + change.pluginName;
  std::error_code error;
  if (!std::filesystem::exists(source, error)) return "missing source " + source;
  change.source = source;
  return change;
}

std::optional<std::string> readWholeFile(const std::string& path) {
  platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  std::string contents;
  char buffer[65536];
  for (;;) {
    ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
    if (count == 0) return contents;
    if (count < 0 && errno != EINTR) return std::nullopt;
    if (count > 0) contents.append(buffer, static_cast<size_t>(count));
  }
}

std::optional<pugi::xml_node> installElement(const pugi::xml_document& document) {
  pugi::xml_node install =
      document.document_element().child("domain-object").child("object-data").child("install");
  if (!install || !install.child("installfeature")) return std::nullopt;
  return install;
}

}  // namespace

PlanOrError planUpdate(const std::string& manifestPath, const std::optional<std::string>& updateSite) {
  std::optional<std::string> text = readWholeFile(manifestPath);
  if (!text) return "cannot read manifest " + manifestPath;
  pugi::xml_document document;
  pugi::xml_parse_result parsed = document.load_buffer(text->data(), text->size());
  if (!parsed) return "malformed manifest " + manifestPath + ": " + parsed.description();
  std::optional<pugi::xml_node> install = installElement(document);
  if (!install) return "no install features in " + manifestPath;
  UpdatePlan plan;
  for (pugi::xml_node installFeature : install->children("installfeature")) {
    for (pugi::xml_node feature : installFeature.child("requirements").children("feature")) {
      ChangeOrError change = changeFor(feature, updateSite);
      if (auto* error = std::get_if<std::string>(&change)) return *error;
      plan.changes.push_back(std::get<PluginChange>(std::move(change)));
    }
  }
  return plan;
}

}  // namespace rcpsim
