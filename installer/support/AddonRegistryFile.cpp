#include "installer/support/AddonRegistryFile.h"

#include "installer/files/InstanceFiles.h"
#include "platform/PropertyListFile.h"

namespace support::AddonRegistryFile {
namespace {
constexpr const char* kAddonsKey = "addons";
constexpr const char* kIDKey = "ID";

// The dictionary's "addons" value: the array, none when it is there but no array, and an empty
// array when the key is missing.
std::optional<platform::PlistArray> addonsOf(const platform::PlistDictionary& registry) {
  auto addons = registry.find(kAddonsKey);
  if (addons == registry.end()) return platform::PlistArray{};
  if (!addons->second.asArray()) return std::nullopt;
  return *addons->second.asArray();
}

}  // namespace

platform::PlistArray readAddonRecords(const std::string& registryPath) {
  std::optional<platform::PlistValue> registry = platform::PropertyListFile::read(registryPath);
  if (!registry || !registry->asDictionary()) return {};
  return addonsOf(*registry->asDictionary()).value_or(platform::PlistArray{});
}

std::optional<platform::PlistArray> readAddonRecordsForRewrite(const std::string& registryPath) {
  if (!InstanceFiles::existsNoFollow(registryPath)) return platform::PlistArray{};
  std::optional<platform::PlistValue> registry = platform::PropertyListFile::read(registryPath);
  if (!registry || !registry->asDictionary()) return std::nullopt;
  return addonsOf(*registry->asDictionary());
}

bool recordHasID(const platform::PlistValue& record, const std::string& addonID) {
  const platform::PlistDictionary* fields = record.asDictionary();
  if (fields == nullptr) return false;
  auto id = fields->find(kIDKey);
  return id != fields->end() && id->second.stringValue() == addonID;
}

std::error_code writeAddonRecords(const std::string& registryPath, platform::PlistArray records) {
  platform::PlistDictionary registry{{kAddonsKey, platform::PlistValue(std::move(records))}};
  return platform::PropertyListFile::write(registryPath, platform::PlistValue(std::move(registry)));
}

}  // namespace support::AddonRegistryFile
