// Any bytes as an install manifest: loading, the element path, the root rewrite and the
// lookups must not fail; what is saved must load again, and saving settles after one round.
// (Not always at once: a text that the parser kept but that is blank once written, such as
// one cut short by "&#0;", is dropped when the saved file is read back.)
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "installer/formats/ManifestDocument.h"

namespace {

namespace document = support::manifest_document;

void exercisePath(xmlDoc& manifest) {
  document::InstallFeatures found = document::findInstallFeatures(manifest);
  if (found.failure != nullptr) return;
  document::replaceInstallerRoot(found.elements, "file:/Volumes/Fuzz & <Caf\u00e9> \u4e2d");
  document::installedFeatureVersion(found.elements, "id", std::nullopt);
  document::installedFeatureVersion(found.elements, "id", std::string("feature"));
}

std::string saveLoaded(const std::string& saved) {
  std::optional<document::LoadedManifest> reloaded = document::parse(saved);
  if (!reloaded) std::abort();
  std::optional<std::string> resaved = document::serialize(*reloaded);
  if (!resaved) std::abort();
  return *resaved;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::optional<document::LoadedManifest> loaded = document::parse(bytes);
  if (!loaded) return 0;
  exercisePath(*loaded->document);
  std::optional<std::string> saved = document::serialize(*loaded);
  if (!saved) return 0;  // a character the declared charset cannot hold, in a name or comment
  std::string resaved = saveLoaded(*saved);
  if (saveLoaded(resaved) != resaved) std::abort();
  return 0;
}
