#include "fileassociation/mac/BundleRegistry.h"

#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>

#include "fileassociation/mac/MacAssocConstants.h"
#include "fileassociation/mac/ResolveError.h"
#include "fileassociation/mac/StoreFile.h"
#include "platform/PropertyListFile.h"

namespace macassoc {
namespace {

struct FreeDeleter {
  void operator()(char* p) const { ::free(p); }
};

std::optional<std::string> bundleIdentifier(const std::string& bundle) {
  std::string infoPath = bundle;
  infoPath += kInfoPlistSuffix;
  std::optional<platform::PlistValue> info = platform::PropertyListFile::read(infoPath, platform::PropertyListFile::Links::Follow);
  if (!info || info->asDictionary() == nullptr) return std::nullopt;
  auto identifier = info->asDictionary()->find(std::string(kCFBundleIdentifierKey));
  if (identifier == info->asDictionary()->end()) return std::nullopt;
  return identifier->second.stringValue();
}

bool isRecordOf(const platform::PlistValue& record, const std::string& path) {
  const platform::PlistDictionary* fields = record.asDictionary();
  if (fields == nullptr) return false;
  auto recorded = fields->find(std::string(kRegisteredPathKey));
  return recorded != fields->end() && recorded->second.stringValue() == path;
}

platform::PlistValue makeRecord(const std::string& path) {
  platform::PlistDictionary record;
  record.emplace(kRegisteredPathKey, path);
  if (std::optional<std::string> identifier = bundleIdentifier(path)) {
    record.emplace(kCFBundleIdentifierKey, *identifier);
  }
  return record;
}

}  // namespace

BundleRegistry BundleRegistry::forCurrentUser() {
  return BundleRegistry(StoreFile::launchServicesPath(kBundleRegistryFile));
}

std::int32_t BundleRegistry::registerBundle(const std::string& bundlePath, bool update) {
  if (bundlePath.empty() || bundlePath.find('\0') != std::string::npos) return paramErr;
  std::unique_ptr<char, FreeDeleter> resolved(::realpath(bundlePath.c_str(), nullptr));
  if (!resolved) return resolveErrorFromErrno(errno);
  const std::string path(resolved.get());

  std::optional<platform::PlistDictionary> root = StoreFile::load(_storePath);
  if (!root) return kLSDataErr;
  auto bundles = root->try_emplace(std::string(kLSRegisteredBundlesKey), platform::PlistArray{});
  platform::PlistArray* records = bundles.first->second.asArray();
  if (records == nullptr) return kLSDataErr;

  auto existing = std::find_if(records->begin(), records->end(),
                               [&](const platform::PlistValue& r) { return isRecordOf(r, path); });
  if (existing == records->end()) {
    records->push_back(makeRecord(path));
  } else if (update) {
    *existing = makeRecord(path);
  } else {
    return noErr;
  }
  return StoreFile::save(_storePath, *root) ? kLSUnknownErr : noErr;
}

}  // namespace macassoc
