#include "fileassociation/mac/DocumentTypeEditor.h"

#include <cstdint>
#include <functional>
#include <optional>

#include "fileassociation/mac/DocumentTypes.h"
#include "fileassociation/mac/InfoPlistFile.h"
#include "fileassociation/mac/MacAssocConstants.h"

namespace macassoc {
namespace {

// An edit of the document-type array; true when it changed the array.
using TypesEdit = std::function<bool(platform::PlistArray&)>;

bool editDocumentTypes(const std::string& bundlePath, const TypesEdit& edit) {
  std::optional<FileUrl> url;
  if (InfoPlistFile::getURL(bundlePath, url) != noErr) return false;
  std::optional<platform::PlistValue> plist;
  if (InfoPlistFile::readInfoFile(*url, plist) != noErr) return false;
  platform::PlistDictionary* root = plist->asDictionary();
  if (root == nullptr) return false;
  auto types = root->find(std::string(kCFBundleDocumentTypesKey));
  if (types == root->end() || types->second.asArray() == nullptr) return true;
  if (!edit(*types->second.asArray())) return true;
  return InfoPlistFile::writeInfoFile(*url, *plist) == noErr;
}

}  // namespace

bool DocumentTypeEditor::addTypeToInfo(const std::string& bundlePath, const std::string& extension,
                                       const std::string& mimeType, const std::string& iconFile) {
  return editDocumentTypes(bundlePath, [&](platform::PlistArray& types) {
    if (DocumentTypes::findEntryForExtension(types, extension)) return false;
    types.push_back(DocumentTypes::makeEntry(extension, mimeType, iconFile));
    return true;
  });
}

bool DocumentTypeEditor::removeTypeInInfo(const std::string& bundlePath,
                                          const std::string& extension) {
  return editDocumentTypes(bundlePath, [&](platform::PlistArray& types) {
    std::optional<std::size_t> index = DocumentTypes::findEntryForExtension(types, extension);
    if (!index) return false;
    types.erase(types.begin() + static_cast<std::ptrdiff_t>(*index));
    return true;
  });
}

bool DocumentTypeEditor::updateTypeInInfo(const std::string& bundlePath,
                                          const std::string& extension, bool isDefault) {
  return editDocumentTypes(bundlePath, [&](platform::PlistArray& types) {
    std::optional<std::size_t> index = DocumentTypes::findEntryForExtension(types, extension);
    if (!index) return false;
    platform::PlistDictionary* entry = types[*index].asDictionary();
    entry->insert_or_assign(std::string(kLSIsAppleDefaultForTypeKey), isDefault);
    return true;
  });
}

}  // namespace macassoc
