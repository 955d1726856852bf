#include "tools/rcplauncher-sim/UpdatePlan.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <libxml/parser.h>

#include <filesystem>
#include <memory>
#include <string_view>

#include "platform/UniqueFd.h"

namespace rcpsim {
namespace {

using PlanOrError = std::variant<UpdatePlan, std::string>;
using ChangeOrError = std::variant<PluginChange, std::string>;

constexpr std::string_view kFileScheme = "file:";

struct DocumentFree {
  void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
using Document = std::unique_ptr<xmlDoc, DocumentFree>;

// The first child element of that name, as the launcher's XML reader finds it; or none.
xmlNode* child(xmlNode* parent, const char* name) {
  for (xmlNode* node = parent != nullptr ? parent->children : nullptr; node; node = node->next) {
    if (node->type == XML_ELEMENT_NODE && xmlStrEqual(node->name, BAD_CAST name)) return node;
  }
  return nullptr;
}

std::vector<xmlNode*> children(xmlNode* parent, const char* name) {
  std::vector<xmlNode*> found;
  for (xmlNode* node = parent != nullptr ? parent->children : nullptr; node; node = node->next) {
    if (node->type == XML_ELEMENT_NODE && xmlStrEqual(node->name, BAD_CAST name)) {
      found.push_back(node);
    }
  }
  return found;
}

std::optional<std::string> attribute(xmlNode* element, const char* name) {
  xmlChar* value = xmlGetNoNsProp(element, BAD_CAST name);
  if (value == nullptr) return std::nullopt;
  std::string text(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return text;
}

// An id or version that could leave "eclipse/plugins" is refused, not joined into a path.
bool isPlainNamePart(std::string_view text) {
  return !text.empty() && text.find('/') == std::string_view::npos && text != "." && text != "..";
}

std::optional<std::string> siteOf(xmlNode* feature, const std::optional<std::string>& updateSite) {
  std::string url = attribute(feature, "url").value_or("");
  if (url.starts_with(kFileScheme)) return url.substr(kFileScheme.size());
  return updateSite;
}

ChangeOrError changeFor(xmlNode* feature, const std::optional<std::string>& updateSite) {
  std::string id = attribute(feature, "id").value_or("");
  std::string version = attribute(feature, "version").value_or("");
  if (!isPlainNamePart(id) || !isPlainNamePart(version)) {
    return "feature without a usable id and version: '" + id + "' '" + version + "'";
  }
  PluginChange change{PluginChange::Action::Install, id + "_" + version, std::nullopt};
  std::optional<std::string> action = attribute(feature, "action");
  if (action && *action == "uninstall") {
    change.action = PluginChange::Action::Uninstall;
    return change;
  }
  if (action && *action != "install") {
    return "unknown action '" + *action + "' for " + change.pluginName;
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

xmlNode* installElement(xmlDoc* document) {
  xmlNode* objectData = child(child(xmlDocGetRootElement(document), "domain-object"), "object-data");
  xmlNode* install = child(objectData, "install");
  if (child(install, "installfeature") == nullptr) return nullptr;
  return install;
}

// A conforming parse that fetches nothing and prints nothing; the error text when it fails.
std::variant<Document, std::string> parseManifest(const std::string& text) {
  xmlParserCtxtPtr context = xmlNewParserCtxt();
  if (context == nullptr) return std::string("out of memory");
  const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
  Document document(xmlCtxtReadMemory(context, text.data(), static_cast<int>(text.size()),
                                      nullptr, nullptr, options));
  std::string error = context->lastError.message != nullptr ? context->lastError.message : "";
  xmlFreeParserCtxt(context);
  if (!document) return error;
  return document;
}

}  // namespace

PlanOrError planUpdate(const std::string& manifestPath, const std::optional<std::string>& updateSite) {
  std::optional<std::string> text = readWholeFile(manifestPath);
  if (!text) return "cannot read manifest " + manifestPath;
  std::variant<Document, std::string> parsed = parseManifest(*text);
  if (auto* error = std::get_if<std::string>(&parsed)) {
    return "malformed manifest " + manifestPath + ": " + *error;
  }
  xmlNode* install = installElement(std::get<Document>(parsed).get());
  if (install == nullptr) return "no install features in " + manifestPath;
  UpdatePlan plan;
  for (xmlNode* installFeature : children(install, "installfeature")) {
    for (xmlNode* feature : children(child(installFeature, "requirements"), "feature")) {
      ChangeOrError change = changeFor(feature, updateSite);
      if (auto* error = std::get_if<std::string>(&change)) return *error;
      plan.changes.push_back(std::get<PluginChange>(std::move(change)));
    }
  }
  return plan;
}

}  // namespace rcpsim
