#include "fileassociation/mac/DocumentTypes.h"

#include "fileassociation/mac/MacAssocConstants.h"

namespace macassoc::DocumentTypes {
namespace {

bool holdsOnly(const platform::PlistValue& value, const std::string& extension) {
  const platform::PlistArray* array = value.asArray();
  if (array == nullptr || array->size() != 1) return false;
  const std::string* only = array->front().asString();
  return only != nullptr && *only == extension;
}

bool entryMatches(const platform::PlistValue& entry, const std::string& extension) {
  const platform::PlistDictionary* fields = entry.asDictionary();
  if (fields == nullptr) return false;
  for (const auto& [key, value] : *fields) {
    if (holdsOnly(value, extension)) return true;
  }
  return false;
}

}  // namespace

std::optional<std::size_t> findEntryForExtension(const platform::PlistArray& types,
                                                 const std::string& extension) {
  for (std::size_t index = 0; index < types.size(); ++index) {
    if (entryMatches(types[index], extension)) return index;
  }
  return std::nullopt;
}

platform::PlistValue makeEntry(const std::string& extension, const std::string& mimeType,
                               const std::string& iconFile) {
  platform::PlistDictionary entry;
  entry.emplace(kCFBundleTypeExtensionsKey, platform::PlistArray{extension});
  entry.emplace(kCFBundleTypeIconFileKey, iconFile);
  entry.emplace(kCFBundleTypeMIMETypesKey, platform::PlistArray{mimeType});
  entry.emplace(kCFBundleTypeRoleKey, std::string(kEditorRole));
  entry.emplace(kLSIsAppleDefaultForTypeKey, false);
  return entry;
}

}  // namespace macassoc::DocumentTypes
