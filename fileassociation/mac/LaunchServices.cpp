#include "fileassociation/mac/LaunchServices.h"

#include <algorithm>
#include <string_view>

#include "fileassociation/mac/MacAssocConstants.h"
#include "fileassociation/mac/StoreFile.h"

namespace macassoc {
namespace {

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&](char x, char y) { return lower(x) == lower(y); });
}

bool isEntryFor(const platform::PlistValue& entry, const std::string& contentType) {
  const platform::PlistDictionary* fields = entry.asDictionary();
  if (fields == nullptr) return false;
  auto type = fields->find(std::string(kLSHandlerContentTypeKey));
  if (type == fields->end() || type->second.asString() == nullptr) return false;
  return equalsIgnoringAsciiCase(*type->second.asString(), contentType);
}

platform::PlistArray::iterator findEntry(platform::PlistArray& handlers,
                                         const std::string& contentType) {
  return std::find_if(handlers.begin(), handlers.end(),
                      [&](const platform::PlistValue& e) { return isEntryFor(e, contentType); });
}

}  // namespace

LaunchServices LaunchServices::forCurrentUser() {
  return LaunchServices(StoreFile::launchServicesPath(kHandlerStoreFile));
}

std::int32_t LaunchServices::setDefaultRoleHandlerForContentType(const std::string& contentType,
                                                                 std::uint32_t roles,
                                                                 const std::string& handler) {
  if (roles != kLSRolesAll || handler.empty()) return paramErr;
  const std::string roleKey(kLSHandlerRoleAllKey);
  if (handler == kReleasedRoleHandler) {
    return editEntry(contentType, [&](platform::PlistDictionary& entry) { entry.erase(roleKey); });
  }
  return editEntry(contentType, [&](platform::PlistDictionary& entry) {
    entry.insert_or_assign(roleKey, handler);
  });
}

std::optional<std::string> LaunchServices::copyDefaultRoleHandlerForContentType(
    const std::string& contentType, std::uint32_t roles) const {
  if (roles != kLSRolesAll || contentType.empty()) return std::nullopt;
  std::optional<platform::PlistDictionary> root = StoreFile::load(_storePath);
  if (!root) return std::nullopt;
  auto handlers = root->find(std::string(kLSHandlersKey));
  if (handlers == root->end() || handlers->second.asArray() == nullptr) return std::nullopt;
  platform::PlistArray& entries = *handlers->second.asArray();
  auto entry = findEntry(entries, contentType);
  if (entry == entries.end()) return std::nullopt;
  auto role = entry->asDictionary()->find(std::string(kLSHandlerRoleAllKey));
  if (role == entry->asDictionary()->end()) return std::nullopt;
  return role->second.stringValue();
}

std::int32_t LaunchServices::setHandlerOptionsForContentType(const std::string& contentType,
                                                             std::uint32_t options) {
  return editEntry(contentType, [&](platform::PlistDictionary& entry) {
    entry.insert_or_assign(std::string(kLSHandlerOptionsKey),
                           platform::PlistValue(static_cast<std::int64_t>(options)));
  });
}

std::int32_t LaunchServices::editEntry(const std::string& contentType, const EntryEdit& edit) {
  if (contentType.empty()) return paramErr;
  std::optional<platform::PlistDictionary> root = StoreFile::load(_storePath);
  if (!root) return kLSDataErr;
  auto handlers = root->try_emplace(std::string(kLSHandlersKey), platform::PlistArray{}).first;
  platform::PlistArray* entries = handlers->second.asArray();
  if (entries == nullptr) return kLSDataErr;

  auto entry = findEntry(*entries, contentType);
  if (entry == entries->end()) {
    platform::PlistDictionary fresh;
    fresh.emplace(kLSHandlerContentTypeKey, contentType);
    entries->push_back(std::move(fresh));
    entry = entries->end() - 1;
  }
  edit(*entry->asDictionary());
  if (entry->asDictionary()->size() == 1) entries->erase(entry);  // only the content type left
  return StoreFile::save(_storePath, *root) ? kLSUnknownErr : noErr;
}

}  // namespace macassoc
