#include "installer/support/InstallManifest.h"

#include "installer/support/ManifestDocument.h"
#include "installer/support/RegularFileBytes.h"
#include "platform/AtomicFile.h"
#include "platform/SystemLog.h"

namespace support {
namespace {

// The descent to the "installfeature" elements, logging the step that found nothing.
std::optional<std::vector<pugi::xml_node>> installFeaturesOf(const pugi::xml_document* document) {
  if (document == nullptr) return std::nullopt;
  manifest_document::InstallFeatures found = manifest_document::findInstallFeatures(*document);
  if (found.failure != nullptr) {
    platform::SystemLog::log(platform::kLogError, "%s", found.failure);
    return std::nullopt;
  }
  return std::move(found.elements);
}

}  // namespace

// A missing or malformed file gives an object without a document, silently.
InstallManifest::InstallManifest(std::string pathToManifest)
    : _pathToManifest(std::move(pathToManifest)) {
  std::optional<std::string> bytes = readRegularFileBytes(_pathToManifest);
  if (!bytes) return;
  std::optional<manifest_document::LoadedManifest> loaded = manifest_document::parse(*bytes);
  if (!loaded) return;
  _xmlDoc = std::move(loaded->document);
  _encoding = loaded->encoding;
}

InstallManifest::~InstallManifest() = default;

bool InstallManifest::replaceInstallerRootWith(const std::string& root) {
  std::optional<std::vector<pugi::xml_node>> installFeatures = installFeaturesOf(_xmlDoc.get());
  if (!installFeatures) return false;
  manifest_document::replaceInstallerRoot(*installFeatures, root);
  return true;
}

std::optional<std::string> InstallManifest::checkInstalledFeatureFeatureID(
    const std::string& installFeatureID, const std::optional<std::string>& featureID) const {
  std::optional<std::vector<pugi::xml_node>> installFeatures = installFeaturesOf(_xmlDoc.get());
  if (!installFeatures) return "-1";
  return manifest_document::installedFeatureVersion(*installFeatures, installFeatureID,
                                                    featureID);
}

bool InstallManifest::saveInstallManifestAs(const std::optional<std::string>& path) const {
  if (!_xmlDoc) return false;
  std::string bytes = manifest_document::serialize(*_xmlDoc, _encoding);
  return !platform::replaceFileAtomically(path.value_or(_pathToManifest), bytes);
}

}  // namespace support
