#include "tools/rcplauncher-sim/ArgumentLists.h"

#include <string_view>

namespace rcpsim {
namespace {

constexpr std::string_view kUpdateSitePrefix = "-DprovUpdateSiteListOverride=file:";

// One expected argument: a fixed text, any text (the locale), or the update-site override.
struct Expected {
  enum class Kind { Exact, AnyText, UpdateSite } kind;
  std::string_view text;
};

constexpr Expected exact(std::string_view text) { return {Expected::Kind::Exact, text}; }
constexpr Expected kLocale{Expected::Kind::AnyText, {}};
constexpr Expected kUpdateSite{Expected::Kind::UpdateSite, kUpdateSitePrefix};

const std::vector<Expected> kAddonUpdateRun = {
    exact("-rcpLauncherWait"), exact("-provManifest"), exact("-noSplash"),
    exact("-provisioningOperation"), exact("update"), exact("-nl"), kLocale, exact("-vmargs"),
    exact("-Dfile.encoding=UTF-8"), exact("-DprovisioningOperation=update"), kUpdateSite,
    exact("-Xms32m"), exact("-Xmx256m")};

const std::vector<Expected> kUninstallUpdateRun = {
    exact("-rcpLauncherWait"), exact("-provManifest"), exact("-noSplash"),
    exact("-provisioningOperation"), exact("update"), exact("-nl"), kLocale, exact("-vmargs"),
    exact("-Dfile.encoding=UTF-8"), exact("-Xms32m"), exact("-Xmx256m")};

const std::vector<Expected> kCleanupRun = {
    exact("-provManifest"), exact("-rcpLauncherWait"), exact("-noSplash"), exact("-product"),
    exact("NULL"), exact("-provisioningOperation"), exact("cleanup")};

bool matches(const Expected& expected, const std::string& argument) {
  switch (expected.kind) {
    case Expected::Kind::Exact: return argument == expected.text;
    case Expected::Kind::AnyText: return true;
    case Expected::Kind::UpdateSite: return argument.starts_with(expected.text);
  }
  return false;
}

bool matchesList(const std::vector<Expected>& list, const std::vector<std::string>& arguments) {
  if (list.size() != arguments.size()) return false;
  for (size_t i = 0; i < list.size(); ++i) {
    if (!matches(list[i], arguments[i])) return false;
  }
  return true;
}

}  // namespace

std::optional<LauncherRequest> recognizeArguments(const std::vector<std::string>& arguments) {
  if (matchesList(kAddonUpdateRun, arguments)) {
    return LauncherRequest{Operation::Update, arguments[10].substr(kUpdateSitePrefix.size())};
  }
  if (matchesList(kUninstallUpdateRun, arguments)) return LauncherRequest{Operation::Update, std::nullopt};
  if (matchesList(kCleanupRun, arguments)) return LauncherRequest{Operation::Cleanup, std::nullopt};
  return std::nullopt;
}

}  // namespace rcpsim
