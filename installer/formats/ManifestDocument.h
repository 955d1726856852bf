#pragma once
// The install manifest as a libxml2 document: loading from memory, saving to memory, and the
// fixed element path down to the features. InstallManifest binds these to a file and the log;
// the fuzz target drives them from memory.
#include <libxml/tree.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace support::manifest_document {

// Deeper nesting is refused: the document is no manifest, and the tree and its walks stay
// small whatever the input.
constexpr int kMaxElementDepth = 256;
// The text of all attribute values, entity references replaced, may be at most this long (four
// times the largest file read), so that reading them takes bounded time and memory.
constexpr std::size_t kMaxAttributeText = 64 << 20;

struct DocumentFree {
  void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
using Document = std::unique_ptr<xmlDoc, DocumentFree>;

struct LoadedManifest {
  Document document;
  std::string byteOrderMark;     // as the file began; a save in the same encoding begins so too
  const char* undeclaredEncoding;  // what the file was in when its declaration names none
};

// A conforming parse in the encoding the bytes declare (any that iconv knows). The declaration,
// document type with its internal subset, comments, processing instructions, CDATA sections
// and entity references are kept as they stand; no external entity or DTD is read.
// None when the bytes are no well-formed XML, declare an external entity or DTD (SYSTEM or
// PUBLIC: the launcher reading the staged copy might fetch it), nest elements deeper than
// kMaxElementDepth or have attribute values longer than kMaxAttributeText.
std::optional<LoadedManifest> parse(std::string_view bytes);

// True when the bytes declare an external entity or DTD, or declare anything (a document type,
// an entity) and are no well-formed XML: such bytes are never handed to the launcher, which
// might fetch what they name with root's rights. Bytes that merely fail to be XML are false.
bool mayReferOutside(std::string_view bytes);

// The whole document in its declared encoding (UTF-8 when none), one element per line where
// only blank text stood between elements; text content, mixed content and the content of
// xml:space="preserve" elements is written as it was. None when libxml2 could not write it,
// or what it wrote would not load again (an encoding it reads but cannot write back).
std::optional<std::string> serialize(const LoadedManifest& manifest);

// The "installfeature" elements reached through the fixed path root / "domain-object" /
// "object-data" / "install" (the first element of each name), or the message that names
// the step that found nothing.
struct InstallFeatures {
  std::vector<xmlNode*> elements;
  const char* failure = nullptr;
};
InstallFeatures findInstallFeatures(xmlDoc& document);

// Writes the root location over "${installer.root}" in every feature "url"; a "url" without
// the placeholder is left as it stands, entity references included.
void replaceInstallerRoot(const std::vector<xmlNode*>& installFeatures, const std::string& root);

// Version text, "-1" when nothing matched, none when the match has no "version".
std::optional<std::string> installedFeatureVersion(const std::vector<xmlNode*>& installFeatures,
                                                   const std::string& installFeatureID,
                                                   const std::optional<std::string>& featureID);

}  // namespace support::manifest_document
