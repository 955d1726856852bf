#include "installer/support/AddonRegistryFile.h"

#include "platform/PropertyListFile.h"

namespace support::AddonRegistryFile {
namespace {
constexpr const char* kAddonsKey = "addons";
constexpr const char* kIDKey = "ID";
}  // namespace

platform::PlistArray readAddonRecords(const std::string& registryPath) {
  std::optional<platform::PlistValue> registry = platform::PropertyListFile::read(registryPath);
  if (!registry || !registry->asDictionary()) return {};
  auto addons = registry->asDictionary()->find(kAddonsKey);
  if (addons == registry->asDictionary()->end() || !addons->second.asArray()) return {};
  return *addons->second.asArray();
}

bool recordHasID(const platform::PlistValue& record, const std::string& addonID) {
  const platform::PlistDictionary* fields = record.asDictionary();
  if (fields == nullptr) return false;
  auto id = fields->find(kIDKey);
  return id != fields->end() && id->second.stringValue() == addonID;
}

bool writeAddonRecords(const std::string& registryPath, platform::PlistArray records) {
  platform::PlistDictionary registry{{kAddonsKey, platform::PlistValue(std::move(records))}};
  return !platform::PropertyListFile::write(registryPath, platform::PlistValue(std::move(registry)));
}

}  // namespace support::AddonRegistryFile
