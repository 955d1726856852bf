#include "installer/formats/InstallManifest.h"

#include "installer/formats/ManifestDocument.h"
#include "installer/files/RegularFileBytes.h"
#include "platform/AtomicFile.h"
#include "platform/SystemLog.h"

namespace support {
namespace {

// The descent to the "installfeature" elements, logging the step that found nothing.
std::optional<std::vector<xmlNode*>> installFeaturesOf(
    const std::optional<manifest_document::LoadedManifest>& manifest) {
  if (!manifest) return std::nullopt;
  manifest_document::InstallFeatures found =
      manifest_document::findInstallFeatures(*manifest->document);
  if (found.failure != nullptr) {
    platform::SystemLog::log(platform::kLogError, "%s", found.failure);
    return std::nullopt;
  }
  return std::move(found.elements);
}

}  // namespace

// A missing, malformed or too deeply nested file gives an object without a document, silently.
InstallManifest::InstallManifest(std::string pathToManifest)
    : _pathToManifest(std::move(pathToManifest)) {
  std::optional<std::string> bytes = readRegularFileBytes(_pathToManifest);
  if (!bytes) return;
  _xmlDoc = manifest_document::parse(*bytes);
}

InstallManifest::~InstallManifest() = default;

bool InstallManifest::replaceInstallerRootWith(const std::string& root) {
  std::optional<std::vector<xmlNode*>> installFeatures = installFeaturesOf(_xmlDoc);
  if (!installFeatures) return false;
  manifest_document::replaceInstallerRoot(*installFeatures, root);
  return true;
}

std::optional<std::string> InstallManifest::checkInstalledFeatureFeatureID(
    const std::string& installFeatureID, const std::optional<std::string>& featureID) const {
  std::optional<std::vector<xmlNode*>> installFeatures = installFeaturesOf(_xmlDoc);
  if (!installFeatures) return "-1";
  return manifest_document::installedFeatureVersion(*installFeatures, installFeatureID,
                                                    featureID);
}

bool InstallManifest::saveInstallManifestAs(const std::optional<std::string>& path) const {
  if (!_xmlDoc) return false;
  std::optional<std::string> bytes = manifest_document::serialize(*_xmlDoc);
  if (!bytes) return false;
  return !platform::replaceFileAtomically(path.value_or(_pathToManifest), *bytes);
}

}  // namespace support
