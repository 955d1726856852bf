#include "installer/formats/JavaProperties.h"

#include <errno.h>
#include <sys/stat.h>

#include "installer/formats/JavaPropertiesText.h"
#include "installer/files/RegularFileBytes.h"
#include "installer/formats/Utf16.h"
#include "platform/AtomicFile.h"
#include "platform/HomeFolder.h"

namespace support {

JavaProperties::JavaProperties() = default;

JavaProperties::JavaProperties(const std::optional<std::string>& file) {
  if (!file) return;
  _file = platform::expandTildeInPath(*file);
  initDictionary();
}

// A missing file leaves the set empty; a later save creates the file. A file that is there but
// is refused (a link, a second link, no regular file, too large) or cannot be read leaves the
// set empty too, and is never replaced by it. Entries go into the set as they are read, so a
// file of many repeated keys costs no more than its text.
void JavaProperties::initDictionary() {
  std::optional<std::string> bytes = readRegularFileBytes(*_file, kJavaPropertiesSizeCap);
  if (!bytes) {
    struct stat info {};
    _fileUnread = ::lstat(_file->c_str(), &info) == 0 || errno != ENOENT;
    return;
  }
  properties_text::parse(*bytes, [this](properties_text::Entry& entry) {
    store(std::move(entry.key), std::move(entry.value), std::move(entry.separator));
  });
}

void JavaProperties::store(std::u16string key, std::u16string value, std::string separator) {
  if (properties_text::isOptionKey(key)) _optionSeparators.insert_or_assign(key, std::move(separator));
  _dict.insert_or_assign(std::move(key), std::move(value));
}

std::optional<std::string> JavaProperties::getPropertyForKey(const std::string& key) const {
  auto found = _dict.find(utf16::fromUtf8(key));
  if (found == _dict.end()) return std::nullopt;
  return utf16::toUtf8(found->second);
}

// Keys and values are always present here, so the map never refuses a pair.
bool JavaProperties::setPropertyForKey(const std::string& value, const std::string& key) {
  _dict.insert_or_assign(utf16::fromUtf8(key), utf16::fromUtf8(value));
  return true;
}

void JavaProperties::removePropertyForKey(const std::string& key) {
  std::u16string units = utf16::fromUtf8(key);
  _dict.erase(units);
  _optionSeparators.erase(units);
}

std::vector<std::string> JavaProperties::propertyNames() const { return allProperties(); }

std::vector<std::string> JavaProperties::allProperties() const {
  std::vector<std::string> keys;
  for (const auto& entry : _dict) keys.push_back(utf16::toUtf8(entry.first));
  return keys;
}

void JavaProperties::mergeWithJavaProperties(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return;
  JavaProperties other(path);
  for (const auto& [key, value] : other._dict) {
    auto separator = other._optionSeparators.find(key);
    store(key, value, separator == other._optionSeparators.end() ? "" : separator->second);
  }
  savePropertiesToFile();
}

bool JavaProperties::savePropertiesToFile(const std::optional<std::string>& path) const {
  std::optional<std::string> target = path ? platform::expandTildeInPath(*path) : _file;
  if (!target || (_fileUnread && target == _file)) return false;
  std::string text;
  for (const auto& [key, value] : _dict) {
    auto separator = _optionSeparators.find(key);
    std::string_view read;
    if (separator != _optionSeparators.end()) read = separator->second;
    if (std::optional<std::string> line = properties_text::formatLine(key, value, read)) {
      text += *line;
    }
  }
  return !platform::replaceFileAtomically(*target, text);
}

}  // namespace support
