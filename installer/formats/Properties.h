#pragma once
// Key access to one property-list file whose root is a dictionary (instance records, a bundle's
// Info.plist, a product's register file, the configuration store). Reads the XML, binary and
// old text forms; writes the XML form, replacing the file atomically.
//
// An object is in one of three states:
//   - opened on an existing dictionary file: dictionary loaded, file recorded;
//   - made empty by the default constructor: dictionary, no file;
//   - opened on a missing file (no dictionary, no file) or on a file that is no dictionary
//     property list (no dictionary, file recorded): inert, reads give none, changes and saves
//     give false.
#include <optional>
#include <string>

#include "platform/PlistValue.h"

namespace support {

class Properties {
 public:
  Properties();                                                 // init
  explicit Properties(const std::optional<std::string>& file);  // initWithFile:

  // None when the key is none or absent, or there is no dictionary.
  std::optional<platform::PlistValue> getPropertyForKey(const std::optional<std::string>& key) const;
  // Stores the value (none removes the key). False only when there is no dictionary or no key.
  bool setPropertyForKey(std::optional<platform::PlistValue> value,
                         const std::optional<std::string>& key);
  void removePropertyForKey(const std::optional<std::string>& key);
  void removeAllProperties();
  // Writes the dictionary to the path ("~" expanded), or to the opened file when the path is
  // none. False when there is no dictionary or the write failed; true without writing when
  // there is neither a path nor an opened file. Saving elsewhere does not change the file.
  bool savePropertiesToFile(const std::optional<std::string>& path = std::nullopt) const;

  // The file the object was opened on ("~" expanded), or none.
  const std::optional<std::string>& file() const { return _file; }
  // The contents, or none for an inert object.
  const std::optional<platform::PlistDictionary>& dictionary() const { return _dict; }

 private:
  std::optional<platform::PlistDictionary> _dict;
  std::optional<std::string> _file;
};

}  // namespace support
