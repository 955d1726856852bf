#pragma once
// The install manifest as a pugixml document: loading from memory, saving to memory, and the
// fixed element path down to the features. InstallManifest binds these to a file and the log;
// the fuzz target drives them from memory.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "installer/support/ManifestEncoding.h"

namespace support::manifest_document {

struct LoadedManifest {
  std::unique_ptr<pugi::xml_document> document;
  ManifestEncoding encoding;
};

// Keeps the declaration, document type, comments, processing instructions and CDATA.
// None when the bytes are no well-formed XML.
std::optional<LoadedManifest> parse(std::string_view bytes);

// The whole document, one element per line, in the manifest's own encoding.
std::string serialize(const pugi::xml_document& document, const ManifestEncoding& encoding);

// The "installfeature" elements reached through the fixed path root / "domain-object" /
// "object-data" / "install" (the first element of each name), or the message that names
// the step that found nothing.
struct InstallFeatures {
  std::vector<pugi::xml_node> elements;
  const char* failure = nullptr;
};
InstallFeatures findInstallFeatures(const pugi::xml_document& document);

// Writes the root location over "${installer.root}" in every feature "url".
void replaceInstallerRoot(const std::vector<pugi::xml_node>& installFeatures,
                          const std::string& root);

// Version text, "-1" when nothing matched, none when the match has no "version".
std::optional<std::string> installedFeatureVersion(
    const std::vector<pugi::xml_node>& installFeatures, const std::string& installFeatureID,
    const std::optional<std::string>& featureID);

}  // namespace support::manifest_document
