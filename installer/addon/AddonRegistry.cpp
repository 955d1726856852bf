// The add-on registry "addonInfo.plist" in the rcp home, and the hand-over of the rcp home and
// data folder to the package installer's result panel through the configuration store.
#include "installer/addon/Addon.h"
#include "installer/addon/AddonConstants.h"
#include "installer/support/AddonRegistryFile.h"
#include "installer/support/Configuration.h"
#include "installer/files/InstanceFiles.h"
#include "installer/formats/JavaProperties.h"
#include "installer/support/RecordFileReport.h"
#include "installer/support/SupportConstants.h"
#include "platform/AtomicFile.h"
#include "platform/SystemLog.h"

namespace addon {
namespace {

using platform::PlistArray;
using platform::PlistDictionary;
using platform::PlistValue;

// Every record of the add-on is replaced in place; a new add-on goes at the end.
PlistArray mergeRecord(PlistArray addons, const std::string& id, const PlistValue& record) {
  bool replaced = false;
  for (PlistValue& entry : addons) {
    if (support::AddonRegistryFile::recordHasID(entry, id)) {
      entry = record;
      replaced = true;
    }
  }
  if (!replaced) addons.push_back(record);
  return addons;
}

}  // namespace

bool Addon::updateAddonRegistry() const {
  std::optional<std::string> id = property(kKeyID);
  if (!id || !_pathToRcphome) return true;
  std::string manifestName =
      support::InstanceFiles::lastPathComponent(property(kKeyUninstallManifest).value_or(""));
  PlistDictionary record{{kKeyID, PlistValue(*id)},
                         {kKeyUninstallManifest, PlistValue(manifestName)}};
  if (std::optional<std::string> version = property(kKeyVersion)) {
    record[kKeyVersion] = PlistValue(*version);
  }
  std::string registryPath = appendPathComponent(*_pathToRcphome, support::kAddonInfoName);
  platform::SystemLog::log(kLevelInfo, "Updating addon registry info");
  // A registry that cannot be read is never replaced by one holding this record alone.
  std::optional<PlistArray> addons = support::AddonRegistryFile::readAddonRecordsForRewrite(registryPath);
  if (!addons) {
    support::RecordFileReport::unreadable(kLevelError, registryPath);
    return false;
  }
  if (std::error_code error = support::AddonRegistryFile::writeAddonRecords(
          registryPath, mergeRecord(std::move(*addons), *id, PlistValue(record)))) {
    support::RecordFileReport::writeFailed(registryPath, error);
    return false;
  }
  return true;
}

bool Addon::setupConfiguratioForResultPanel() const {
  std::optional<std::string> rcpData;
  if (_pathToRcphome) {
    std::string settings = appendPathComponent(*_pathToRcphome, support::kLauncherPropertiesName);
    if (support::InstanceFiles::existsNoFollow(settings)) rcpData = support::JavaProperties(settings).getPropertyForKey(kRcpDataKey);
  }
  // A leftover file of an earlier run goes; a link planted there is removed, never its target.
  if (support::InstanceFiles::existsNoFollow(kZelConfigPath)) platform::removeFileNoFollow(kZelConfigPath);

  support::Configuration store;
  store.setPropertyForKey(rcpData ? std::optional<PlistValue>(*rcpData) : std::nullopt,
                          kResultPanelRcpDataKey);
  store.setPropertyForKey(_pathToRcphome ? std::optional<PlistValue>(*_pathToRcphome) : std::nullopt,
                          kResultPanelRcpHomeKey);
  if (store.saveConfiguration()) return true;
  platform::SystemLog::log(kLevelWarning, "Fail to write %s. The result panel is not told of this run.",
                           support::kConfigurationStorePath);
  return false;
}

}  // namespace addon
