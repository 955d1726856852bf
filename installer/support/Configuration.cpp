#include "installer/support/Configuration.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/AtomicFile.h"
#include "platform/DescriptorBytes.h"
#include "platform/FixedPathFile.h"
#include "platform/PropertyListFile.h"
#include "platform/UniqueFd.h"

namespace support {
namespace {

// Larger files are no store of ours.
constexpr std::size_t kMaxStoreSize = 1 << 20;

bool storeExists() {
  struct stat st {};
  return ::lstat(kConfigurationStorePath, &st) == 0;
}

// The store's bytes, read without following a link. None when there is no store of ours at
// the path (missing, a link, not a regular file, several links, another user's file); an empty
// text when the file is ours but cannot be read whole, which then parses as no property list.
std::optional<std::string> readStoreBytes() {
  platform::UniqueFd fd = platform::openFixedPathForReading(kConfigurationStorePath);
  if (!fd.valid()) {
    // Missing, a link (ELOOP), a hard link (EMLINK), no regular file (EINVAL) or planted by
    // another user (EPERM): no store. Any other failure: a store we cannot read.
    if (errno == ENOENT || errno == ELOOP || errno == EMLINK || errno == EINVAL || errno == EPERM) {
      return std::nullopt;
    }
    return std::string();
  }
  return platform::readWhole(fd.get(), kMaxStoreSize).value_or(std::string());
}

// The store lies in /tmp, where anyone may plant a link to a file only root may read, or a
// file of their own: it is loaded only from a regular file of root's or the process's own. Anything else at the path is no store, so the
// store starts empty and saving replaces that entry (never writing through it). A store of
// ours that is no dictionary property list stays inert: it is neither used nor overwritten.
Properties openStore() {
  std::optional<std::string> bytes = readStoreBytes();
  if (!bytes) return Properties();
  std::optional<platform::PlistValue> root = platform::PropertyListFile::parse(*bytes);
  if (!root || !root->asDictionary()) return Properties(std::optional<std::string>());
  Properties store;
  for (const auto& [key, value] : *root->asDictionary()) store.setPropertyForKey(value, key);
  return store;
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

bool Configuration::saveConfiguration() const {
  // Written as a file of our own: a replaced entry's owner and mode would be another user's
  // when they made the path first.
  const auto& dictionary = _internalProperties.dictionary();
  if (!dictionary) return false;
  const std::string xml = platform::PropertyListFile::toXml(platform::PlistValue(*dictionary));
  return !xml.empty() && !platform::replaceFixedPathFile(kConfigurationStorePath, xml);
}

void Configuration::cleanupConfiguration() {
  if (storeExists()) platform::removeFileNoFollow(kConfigurationStorePath);
  _internalProperties.removeAllProperties();
}

}  // namespace support
