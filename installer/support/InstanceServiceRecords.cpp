// InstanceService: construction, the installation information file, the add-on registry and
// the versions of the base plug-in and of the containing application bundle.
#include <algorithm>
#include <filesystem>

#include "installer/support/AddonRegistryFile.h"
#include "installer/support/InstallUtil.h"
#include "installer/files/InstanceFiles.h"
#include "installer/support/InstanceService.h"
#include "installer/formats/Properties.h"
#include "installer/support/SupportConstants.h"
#include "platform/SystemLog.h"

namespace support {

namespace {

using InstanceFiles::appendPathComponent;
using InstanceFiles::isDirectory;
// Links are followed, as the records are read through them.
constexpr auto pathExists = InstanceFiles::exists;

constexpr const char* kVersionKey = "version";
constexpr const char* kHotfixVersionKey = "hotfixVersion";
constexpr const char* kAddonVersionKey = "version";
constexpr const char* kBundleVersionKey = "CFBundleShortVersionString";
constexpr const char* kBasePluginPrefix = "com.norq.rcp.base_";
constexpr const char* kPluginsFolder = "eclipse/plugins";

std::optional<std::string> stringValue(const std::optional<platform::PlistValue>& value) {
  if (!value) return std::nullopt;
  return value->stringValue();
}

// Loads the record file (or starts an empty one when it is missing), changes one key and
// writes the whole dictionary back. A file that is no dictionary is left as it is. False then,
// and when the write failed.
bool updateRecordKey(const std::string& path, const std::string& key,
                     const std::optional<std::string>& value) {
  const bool exists = pathExists(path);
  Properties record = exists ? Properties(path) : Properties();
  std::optional<platform::PlistValue> newValue;
  if (value) newValue = platform::PlistValue(*value);
  if (!record.setPropertyForKey(std::move(newValue), key)) return false;
  return record.savePropertiesToFile(path);
}

// The text after the first "_" of the plug-in name, up to the next "_" or the end.
std::string basePluginVersionCandidate(const std::string& pluginName) {
  std::size_t start = pluginName.find('_') + 1;
  std::size_t end = pluginName.find('_', start);
  return pluginName.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

InstanceService::InstanceService(const std::optional<std::string>& pathToRcphome) {
  if (pathToRcphome && pathExists(*pathToRcphome)) _pathToRcphome = *pathToRcphome;
}

bool InstanceService::hasInstanceInstalled() const {
  if (!_pathToRcphome) return false;
  std::string manifest = appendPathComponent(
      appendPathComponent(*_pathToRcphome, kDeployFolder), kInstallManifestName);
  return pathExists(manifest);
}

std::optional<std::string> InstanceService::getInstalledVersion() const {
  if (!_pathToRcphome) return std::nullopt;
  std::string installInfo = appendPathComponent(*_pathToRcphome, kInstallInfoName);
  platform::SystemLog::log(platform::kLogInfo, "Get installInfo: %s", installInfo.c_str());
  if (!pathExists(installInfo)) return std::nullopt;
  return stringValue(Properties(installInfo).getPropertyForKey(kVersionKey));
}

bool InstanceService::setInstalledVersion(const std::string& version) const {
  if (!_pathToRcphome) return true;
  return updateRecordKey(appendPathComponent(*_pathToRcphome, kInstallInfoName), kVersionKey, version);
}

bool InstanceService::isHotfixApplied() const {
  if (!_pathToRcphome) return false;
  std::string installInfo = appendPathComponent(*_pathToRcphome, kInstallInfoName);
  if (!pathExists(installInfo)) return false;
  return Properties(installInfo).getPropertyForKey(kHotfixVersionKey).has_value();
}

std::optional<std::string> InstanceService::getCurrentHotfixVersion() const {
  if (!_pathToRcphome) return std::nullopt;
  std::string installInfo = appendPathComponent(*_pathToRcphome, kInstallInfoName);
  if (!pathExists(installInfo)) return std::nullopt;
  return stringValue(Properties(installInfo).getPropertyForKey(kHotfixVersionKey));
}

bool InstanceService::updateHotfixVersion(const std::optional<std::string>& hotfixVersion) const {
  if (!_pathToRcphome) return true;
  return updateRecordKey(appendPathComponent(*_pathToRcphome, kInstallInfoName), kHotfixVersionKey,
                  hotfixVersion);
}

// Versions are compared as plain text, not numerically: 6.2.9 is greater than 6.2.10.
std::optional<std::string> InstanceService::getBaseVersion() const {
  if (!_pathToRcphome) return std::nullopt;
  std::string plugins = appendPathComponent(*_pathToRcphome, kPluginsFolder);
  if (!isDirectory(plugins)) return std::nullopt;

  std::optional<std::string> best;
  std::error_code error;
  std::filesystem::directory_iterator entries(plugins, error);
  for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
    std::string name = entries->path().filename().string();
    if (!name.starts_with(kBasePluginPrefix)) continue;
    std::string candidate = basePluginVersionCandidate(name);
    best = std::max(best.value_or(candidate), candidate);
  }
  return best;
}

std::optional<std::string> InstanceService::getInstalledTargetVersion() const {
  if (!_pathToRcphome) return std::nullopt;
  std::optional<std::string> bundle = InstallUtil::getBundlePath(*_pathToRcphome);
  if (!bundle) return std::nullopt;
  std::string infoPlist = appendPathComponent(appendPathComponent(*bundle, "Contents"), "Info.plist");
  platform::SystemLog::log(platform::kLogInfo, "Get Info.plist: %s", infoPlist.c_str());
  if (!pathExists(infoPlist)) return std::nullopt;
  return stringValue(Properties(infoPlist).getPropertyForKey(kBundleVersionKey));
}

std::optional<platform::PlistDictionary> InstanceService::getRegistryInfoForAddon(
    const std::string& addonID) const {
  if (!_pathToRcphome) return std::nullopt;
  std::string registry = appendPathComponent(*_pathToRcphome, kAddonInfoName);
  if (!pathExists(registry)) return std::nullopt;
  for (const platform::PlistValue& record : AddonRegistryFile::readAddonRecords(registry)) {
    if (AddonRegistryFile::recordHasID(record, addonID)) return *record.asDictionary();
  }
  return std::nullopt;
}

std::optional<std::string> InstanceService::getAddonInstalledVersion(
    const std::string& addonID) const {
  std::optional<platform::PlistDictionary> record = getRegistryInfoForAddon(addonID);
  if (!record) return std::nullopt;
  auto version = record->find(kAddonVersionKey);
  if (version == record->end()) return std::nullopt;
  return version->second.stringValue();
}

// Removes the first matching record only; the registry is rewritten holding "addons" alone.
// When nothing matches the file is not touched. A registry that cannot be read is not touched
// either, and gives false.
bool InstanceService::removeRegistryInfoforAddon(const std::string& addonID) const {
  if (!_pathToRcphome) return true;
  std::string registry = appendPathComponent(*_pathToRcphome, kAddonInfoName);
  if (!pathExists(registry)) return true;
  std::optional<platform::PlistArray> records = AddonRegistryFile::readAddonRecordsForRewrite(registry);
  if (!records) return false;
  for (auto record = records->begin(); record != records->end(); ++record) {
    if (!AddonRegistryFile::recordHasID(*record, addonID)) continue;
    records->erase(record);
    return !AddonRegistryFile::writeAddonRecords(registry, std::move(*records));
  }
  return true;
}

}  // namespace support
