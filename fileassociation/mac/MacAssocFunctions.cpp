#include "fileassociation/mac/MacAssocFunctions.h"

#include <optional>
#include <string>

#include "fileassociation/mac/DefaultRoles.h"
#include "fileassociation/mac/DocumentTypes.h"
#include "fileassociation/mac/InfoPlistFile.h"
#include "fileassociation/mac/MacAssocConstants.h"

namespace {

template <typename Result, typename Action>
Result guarded(Result onFailure, Action action) noexcept {
  try {
    return action();
  } catch (...) {
    return onFailure;
  }
}

}  // namespace

extern "C" {

std::int32_t getURL(const char* bundlePath, macassoc::FileUrl* url) {
  if (bundlePath == nullptr) return macassoc::kNoUrlStatus;
  if (url == nullptr) return macassoc::paramErr;
  return guarded(macassoc::kNoUrlStatus, [&] {
    std::optional<macassoc::FileUrl> made;
    std::int32_t status = macassoc::InfoPlistFile::getURL(bundlePath, made);
    if (made) *url = *made;
    return status;
  });
}

std::int32_t readInfoFile(const macassoc::FileUrl* url, platform::PlistValue* plist) {
  if (url == nullptr || plist == nullptr) return macassoc::paramErr;
  return guarded(macassoc::coreFoundationUnknownErr, [&] {
    std::optional<platform::PlistValue> parsed;
    std::int32_t status = macassoc::InfoPlistFile::readInfoFile(*url, parsed);
    if (parsed) *plist = std::move(*parsed);
    return status;
  });
}

std::int32_t writeInfoFile(const macassoc::FileUrl* url, const platform::PlistValue* plist) {
  if (url == nullptr || plist == nullptr) return macassoc::paramErr;
  return guarded(macassoc::coreFoundationUnknownErr,
                 [&] { return macassoc::InfoPlistFile::writeInfoFile(*url, *plist); });
}

bool isExist(const char* extension, const platform::PlistArray* types, long* index) {
  if (extension == nullptr || types == nullptr) return false;
  return guarded(false, [&] {
    std::optional<std::size_t> found = macassoc::DocumentTypes::findEntryForExtension(*types, extension);
    if (found && index != nullptr) *index = static_cast<long>(*found);
    return found.has_value();
  });
}

bool isAssociated(const char* extension, const char* typeName) {
  if (extension == nullptr || typeName == nullptr) return false;
  return guarded(false, [&] { return macassoc::DefaultRoles::isAssociated(extension, typeName); });
}

}  // extern "C"
