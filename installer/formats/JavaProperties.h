#pragma once
// A Java properties file: read as java.util.Properties reads it (the differences that stay are
// listed in JavaPropertiesText.h) and written as plain ASCII with "\u" escapes, so that the
// launcher and the platform find every entry of a file rewritten here as it was.
// The public operations below are fixed; private members are the implementer's.
//
// Callers see UTF-8 texts: the file's escapes are decoded ("\u00e9" is "é"), so a path read
// from a file names the folder it means. Inside, texts are UTF-16 code units, as Java holds
// them: an entry nobody set is written back as Java read it, even a lone surrogate.
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace support {

// Settings, link and customization files are a few kilobytes. A file of many short entries
// takes some 30 times its size in memory, so larger files are refused rather than read.
inline constexpr std::size_t kJavaPropertiesSizeCap = 1024 * 1024;

class JavaProperties {
 public:
  JavaProperties();                                         // init
  explicit JavaProperties(const std::optional<std::string>& file);  // initWithFile:

  std::optional<std::string> getPropertyForKey(const std::string& key) const;
  bool setPropertyForKey(const std::string& value, const std::string& key);
  void removePropertyForKey(const std::string& key);
  std::vector<std::string> propertyNames() const;
  std::vector<std::string> allProperties() const;
  void mergeWithJavaProperties(const std::string& path);
  // None writes to the bound file. True when the file was written. A bound file that is there
  // but could not be read (refused as a link, a hard link or no regular file, too large, or
  // unreadable) is never replaced by what little was set since (false).
  bool savePropertiesToFile(const std::optional<std::string>& path = std::nullopt) const;

  const std::optional<std::string>& file() const { return _file; }

 private:
  void initDictionary();
  void store(std::u16string key, std::u16string value, std::string separator);

  std::map<std::u16string, std::u16string> _dict;
  // The separators of option lines ("-Xss 1m") as read, so that they are written back so.
  std::map<std::u16string, std::string> _optionSeparators;
  std::optional<std::string> _file;
  bool _fileUnread = false;  // the bound file is there but was not read
};

}  // namespace support
