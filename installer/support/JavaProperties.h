#pragma once
// A Java properties file: the tolerant line reader of java.util.Properties files (read as
// ISO-8859-1, kept as UTF-8 in memory) and a writer of plain ASCII with "\u" escapes.
// The public operations below are fixed; private members are the implementer's.
//
// Texts read from a file keep its "\uXXXX" escapes as written (only the escapes of ":", "=",
// " ", "#", "!" and "\" are removed); the writer puts such an escape back unchanged and
// escapes everything else itself (a backslash before anything else is doubled), so the
// non-ASCII text of a file read and written back stays what it was for Java.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace support {

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
  // None writes to the bound file. True when the file was written.
  bool savePropertiesToFile(const std::optional<std::string>& path = std::nullopt) const;

  const std::optional<std::string>& file() const { return _file; }

 private:
  void initDictionary();

  std::map<std::string, std::string> _dict;
  std::optional<std::string> _file;
};

}  // namespace support
