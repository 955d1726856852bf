#include "installer/support/JavaProperties.h"

#include <sys/stat.h>

#include "installer/support/JavaPropertiesText.h"
#include "installer/support/RegularFileBytes.h"
#include "platform/AtomicFile.h"
#include "platform/HomeFolder.h"

namespace support {

JavaProperties::JavaProperties() = default;

JavaProperties::JavaProperties(const std::optional<std::string>& file) {
  if (!file) return;
  _file = platform::expandTildeInPath(*file);
  initDictionary();
}

// A missing or unreadable file leaves the set empty; a later save creates the file.
void JavaProperties::initDictionary() {
  std::optional<std::string> bytes = readRegularFileBytes(*_file);
  if (!bytes) return;
  for (auto& [key, value] : properties_text::parseLines(*bytes)) {
    _dict.insert_or_assign(std::move(key), std::move(value));
  }
}

std::optional<std::string> JavaProperties::getPropertyForKey(const std::string& key) const {
  auto found = _dict.find(key);
  if (found == _dict.end()) return std::nullopt;
  return found->second;
}

// Keys and values are always present here, so the map never refuses a pair.
bool JavaProperties::setPropertyForKey(const std::string& value, const std::string& key) {
  _dict.insert_or_assign(key, value);
  return true;
}

void JavaProperties::removePropertyForKey(const std::string& key) { _dict.erase(key); }

std::vector<std::string> JavaProperties::propertyNames() const { return allProperties(); }

std::vector<std::string> JavaProperties::allProperties() const {
  std::vector<std::string> keys;
  keys.reserve(_dict.size());
  for (const auto& entry : _dict) keys.push_back(entry.first);
  return keys;
}

void JavaProperties::mergeWithJavaProperties(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return;
  JavaProperties other(path);
  for (const auto& [key, value] : other._dict) setPropertyForKey(value, key);
  savePropertiesToFile();
}

bool JavaProperties::savePropertiesToFile(const std::optional<std::string>& path) const {
  std::optional<std::string> target = path ? platform::expandTildeInPath(*path) : _file;
  if (!target) return false;
  std::string text;
  text.reserve(100);
  for (const auto& [key, value] : _dict) {
    if (std::optional<std::string> line = properties_text::formatLine(key, value)) text += *line;
  }
  return !platform::replaceFileAtomically(*target, text);
}

}  // namespace support
