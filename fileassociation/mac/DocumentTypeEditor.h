#pragma once
// Edits of the document-type list in a bundle's Info.plist. Each edit reads the file, changes
// the parsed copy and, when something changed, writes it back in the XML form in one atomic
// replacement. True when the file was read and, if changed, written; a list without
// "CFBundleDocumentTypes" (or with a value there that is no array) is left alone and gives true.
#include <string>

namespace macassoc {

class DocumentTypeEditor {
 public:
  // Appends the entry of DocumentTypes::makeEntry unless one matches the extension already.
  static bool addTypeToInfo(const std::string& bundlePath, const std::string& extension,
                            const std::string& mimeType, const std::string& iconFile);
  // Removes the first entry that matches the extension.
  static bool removeTypeInInfo(const std::string& bundlePath, const std::string& extension);
  // Sets "LSIsAppleDefaultForType" of the first entry that matches the extension.
  static bool updateTypeInInfo(const std::string& bundlePath, const std::string& extension,
                               bool isDefault);
};

}  // namespace macassoc
