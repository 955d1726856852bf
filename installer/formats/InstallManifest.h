#pragma once
// An install manifest (XML) loaded whole, so that saving keeps everything it held.
// The public operations below are fixed; private members are the implementer's.
#include <memory>
#include <optional>
#include <string>

#include "installer/formats/ManifestDocument.h"

namespace support {

class InstallManifest {
 public:
  explicit InstallManifest(std::string pathToManifest);  // initWithFile:
  ~InstallManifest();
  InstallManifest(const InstallManifest&) = delete;
  InstallManifest& operator=(const InstallManifest&) = delete;

  bool replaceInstallerRootWith(const std::string& root);
  // Version text, "-1", or none.
  std::optional<std::string> checkInstalledFeatureFeatureID(
      const std::string& installFeatureID, const std::optional<std::string>& featureID) const;
  // None saves to the path given at creation. True when the file was written.
  bool saveInstallManifestAs(const std::optional<std::string>& path = std::nullopt) const;

 private:
  std::string _pathToManifest;
  // Without a document when reading or parsing failed; a save keeps the file's encoding.
  std::optional<manifest_document::LoadedManifest> _xmlDoc;
};

}  // namespace support
