// Path, process and package checks of InstallUtil. None of them keeps state or writes a log
// line; a failure shows only in the result.
#include <cctype>
#include <string_view>

#include "installer/support/InstallUtil.h"
#include "installer/formats/StringUtil.h"
#include "platform/EffectiveUserGuard.h"
#include "platform/HomeFolder.h"
#include "platform/RunningProcesses.h"
#include "platform/UserPreferences.h"

namespace support::InstallUtil {

namespace {

// Characters the platform cannot live with in an install path; a colon is refused as well.
constexpr std::string_view kUnsupportedCharacters = "!\"';\\#%|=?";
constexpr std::string_view kBundleMarker = ".app/Contents/MacOS";
constexpr std::string_view kBundleSuffix = ".app";
constexpr const char* kPackageVariable = "${package}";
constexpr const char* kLocaleKey = "AppleLocale";
constexpr const char* kDefaultLocale = "en_US";

// A colon in any path component; splitting at "/" never removes one, so this is a plain search.
bool containsColonInAnyComponent(const std::string& path) {
  return path.find(':') != std::string::npos;
}

char foldCase(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

}  // namespace

bool containUnSupportedCharacters(const std::optional<std::string>& path) {
  if (!path || path->empty()) return false;
  if (path->find_first_of(kUnsupportedCharacters) != std::string::npos) return true;
  return containsColonInAnyComponent(*path);
}

std::vector<std::string> getAllProcess() {
  std::vector<std::string> processes;
  for (std::string& executable : platform::runningExecutablePaths()) {
    if (!executable.empty()) processes.push_back(std::move(executable));
  }
  return processes;
}

// Textual on purpose: a sibling bundle whose path extends the bundle path counts as running.
bool checkBundleIsRunning(const std::string& bundlePath) {
  for (const std::string& executable : getAllProcess()) {
    if (executable.starts_with(bundlePath)) return true;
  }
  return false;
}

std::optional<std::string> getBundlePath(const std::string& path) {
  std::size_t marker = path.rfind(kBundleMarker);
  if (marker == std::string::npos) return std::nullopt;
  return path.substr(0, marker + kBundleSuffix.size());
}

// Letter case is folded for ASCII letters; key-store names are ASCII.
bool hasPrefixCaseInsensitivePrefix(const std::string& text, const std::string& prefix) {
  if (prefix.empty() || prefix.size() > text.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (foldCase(text[i]) != foldCase(prefix[i])) return false;
  }
  return true;
}

// Read as the logged-in user, whose preferences may be readable by that user only. A user
// without an entry in the user database is not switched to: the preference is then read as the
// current effective user from its own home folder.
std::string getCurrentLocale() {
  std::optional<platform::PlistValue> locale;
  {
    platform::EffectiveUserGuard readAsLoggedInUser;
    const auto& user = readAsLoggedInUser.user();
    platform::UserPreferences preferences(user ? user->home : platform::homeFolder());
    locale = preferences.valueForKey(platform::kGlobalPreferencesDomain, kLocaleKey);
  }
  if (locale) {
    if (const std::string* text = locale->asString()) return *text;
  }
  return kDefaultLocale;
}

void replacePackageVariableWithInProperties(const std::optional<std::string>& packagePath,
                                            platform::PlistDictionary& properties) {
  if (!packagePath) return;
  for (auto& [key, value] : properties) {
    if (const std::string* text = value.asString()) {
      value = StringUtil::stringByReplacingOccurrencesOfStringTargetWithString(
          *text, kPackageVariable, *packagePath);
    }
  }
}

}  // namespace support::InstallUtil
