#include "installer/formats/Properties.h"

#include <sys/stat.h>

#include "platform/HomeFolder.h"
#include "platform/PropertyListFile.h"

namespace support {

namespace {

// Follows links, as a reader does: a dangling link is no file.
bool fileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

std::optional<platform::PlistDictionary> readDictionary(const std::string& path) {
  std::optional<platform::PlistValue> root = platform::PropertyListFile::read(path);
  if (!root) return std::nullopt;
  if (auto* dictionary = root->asDictionary()) return std::move(*dictionary);
  return std::nullopt;
}

}  // namespace

Properties::Properties() : _dict(platform::PlistDictionary{}) {}

Properties::Properties(const std::optional<std::string>& file) {
  if (!file) return;
  std::string expanded = platform::expandTildeInPath(*file);
  if (!fileExists(expanded)) return;
  _dict = readDictionary(expanded);
  _file = std::move(expanded);
}

std::optional<platform::PlistValue> Properties::getPropertyForKey(
    const std::optional<std::string>& key) const {
  if (!_dict || !key) return std::nullopt;
  auto entry = _dict->find(*key);
  if (entry == _dict->end()) return std::nullopt;
  return entry->second;
}

bool Properties::setPropertyForKey(std::optional<platform::PlistValue> value,
                                   const std::optional<std::string>& key) {
  if (!_dict || !key) return false;
  if (value) {
    _dict->insert_or_assign(*key, std::move(*value));
  } else {
    _dict->erase(*key);
  }
  return true;
}

void Properties::removePropertyForKey(const std::optional<std::string>& key) {
  if (_dict && key) _dict->erase(*key);
}

void Properties::removeAllProperties() {
  if (_dict) _dict->clear();
}

bool Properties::savePropertiesToFile(const std::optional<std::string>& path) const {
  if (!_dict) return false;
  std::optional<std::string> target = path ? platform::expandTildeInPath(*path) : _file;
  if (!target) return true;
  return !platform::PropertyListFile::write(*target, platform::PlistValue(*_dict));
}

}  // namespace support
