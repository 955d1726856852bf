#include "installer/hotfix/RegisterFile.h"

#include "installer/hotfix/HotfixConstants.h"
#include "installer/files/PathText.h"
#include "platform/SystemLog.h"

namespace hotfix {

RegisterFile::RegisterFile(const std::string& productName)
    : _registerDirectoryLocation(std::string(kRegisterFolder) + "/" + productName),
      _properties(_registerDirectoryLocation + "/" + kRegisterFileName) {}

std::optional<std::string> RegisterFile::textForKey(const char* key) const {
  std::optional<platform::PlistValue> value = _properties.getPropertyForKey(std::string(key));
  return value ? value->stringValue() : std::nullopt;
}

std::optional<std::string> RegisterFile::getOldInstallLocation() const {
  return textForKey(kOldInstallLocationKey);
}

std::optional<std::string> RegisterFile::getHotfixVersion() const {
  return textForKey(kHotfixVersionKey);
}

// Appended as a path component: one separator however the location ends, so that taking the
// last component off again gives the location back (less any trailing separator).
std::optional<std::string> RegisterFile::getPathToRcpHome() const {
  std::optional<std::string> location = getOldInstallLocation();
  if (!location) return std::nullopt;
  return support::path_text::appendPathComponent(*location, kRcpFolderName);
}

std::optional<std::string> RegisterFile::getProductPath() const {
  return textForKey(kPathToProductKey);
}

void RegisterFile::updateHotfixVersion(const std::string& version) {
  if (_properties.setPropertyForKey(platform::PlistValue(version), std::string(kHotfixVersionKey))) {
    platform::SystemLog::log(platform::kLogInfo, "Update CURRENT_HOTFIX_VERSION to %s", version.c_str());
  } else {
    platform::SystemLog::log(platform::kLogWarning, "Fail to update CURRENT_HOTFIX_VERSION");
  }
  if (!_properties.savePropertiesToFile()) {
    platform::SystemLog::log(platform::kLogWarning, "Fail to save CURRENT_HOTFIX_VERSION");
  }
}

}  // namespace hotfix
