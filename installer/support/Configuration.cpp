#include "installer/support/Configuration.h"

#include <sys/stat.h>

#include "platform/AtomicFile.h"

namespace support {
namespace {

bool storeExists() {
  struct stat st {};
  return ::lstat(kConfigurationStorePath, &st) == 0;
}

Properties openStore() {
  if (storeExists()) return Properties(std::string(kConfigurationStorePath));
  return Properties();
}

}  // namespace

Configuration::Configuration() : _internalProperties(openStore()) {}

std::optional<platform::PlistValue> Configuration::getPropertyValueForKey(
    const std::string& key) const {
  return _internalProperties.getPropertyForKey(key);
}

void Configuration::setPropertyForKey(const std::optional<platform::PlistValue>& value,
                                      const std::string& key) {
  _internalProperties.setPropertyForKey(value, key);
}

void Configuration::saveConfiguration() const {
  _internalProperties.savePropertiesToFile(std::string(kConfigurationStorePath));
}

void Configuration::cleanupConfiguration() {
  if (storeExists()) platform::removeFileNoFollow(kConfigurationStorePath);
  _internalProperties.removeAllProperties();
}

}  // namespace support
