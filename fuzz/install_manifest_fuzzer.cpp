// Any bytes as an install manifest: loading, the element path, the root rewrite and the
// lookups must not fail, and what is saved must load again and save the same.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "installer/support/ManifestDocument.h"

namespace {

namespace document = support::manifest_document;

void exercisePath(pugi::xml_document& manifest) {
  document::InstallFeatures found = document::findInstallFeatures(manifest);
  if (found.failure != nullptr) return;
  document::replaceInstallerRoot(found.elements, "file:/Volumes/Fuzz & <Caf\u00e9> \u4e2d");
  document::installedFeatureVersion(found.elements, "id", std::nullopt);
  document::installedFeatureVersion(found.elements, "id", std::string("feature"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::optional<document::LoadedManifest> loaded = document::parse(bytes);
  if (!loaded) return 0;
  exercisePath(*loaded->document);
  std::string saved = document::serialize(*loaded->document, loaded->encoding);
  std::optional<document::LoadedManifest> reloaded = document::parse(saved);
  if (!reloaded) std::abort();
  if (document::serialize(*reloaded->document, reloaded->encoding) != saved) std::abort();
  return 0;
}
