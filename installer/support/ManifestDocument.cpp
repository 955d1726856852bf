#include "installer/support/ManifestDocument.h"

#include <cstring>

#include "installer/support/StringUtil.h"

namespace support::manifest_document {
namespace {

using Charset = ManifestEncoding::Charset;

constexpr const char* kInstallerRootPlaceholder = "${installer.root}";
constexpr const char* kNoVersion = "-1";

pugi::xml_encoding parseEncodingFor(const ManifestEncoding& encoding) {
  return encoding.charset == Charset::Latin1 ? pugi::encoding_latin1 : pugi::encoding_auto;
}

// What the parser found when nothing declared it: UTF-16 and UTF-32 without a byte order mark.
Charset charsetOf(pugi::xml_encoding found, Charset declared) {
  switch (found) {
    case pugi::encoding_utf16_le: return Charset::Utf16Le;
    case pugi::encoding_utf16_be: return Charset::Utf16Be;
    case pugi::encoding_utf32_le: return Charset::Utf32Le;
    case pugi::encoding_utf32_be: return Charset::Utf32Be;
    default: return declared;
  }
}

pugi::xml_encoding saveEncodingFor(Charset charset) {
  switch (charset) {
    case Charset::Utf16Le: return pugi::encoding_utf16_le;
    case Charset::Utf16Be: return pugi::encoding_utf16_be;
    case Charset::Utf32Le: return pugi::encoding_utf32_le;
    case Charset::Utf32Be: return pugi::encoding_utf32_be;
    default: return pugi::encoding_utf8;  // Latin-1 and ASCII are encoded afterwards
  }
}

class StringWriter : public pugi::xml_writer {
 public:
  explicit StringWriter(std::string& out) : out_(out) {}
  void write(const void* data, size_t size) override {
    out_.append(static_cast<const char*>(data), size);
  }

 private:
  std::string& out_;
};

// child(name) of pugixml also matches processing instructions of that name.
pugi::xml_node firstChildElement(pugi::xml_node parent, const char* name) {
  for (pugi::xml_node child : parent.children(name)) {
    if (child.type() == pugi::node_element) return child;
  }
  return {};
}

std::vector<pugi::xml_node> childElements(pugi::xml_node parent, const char* name) {
  std::vector<pugi::xml_node> elements;
  for (pugi::xml_node child : parent.children(name)) {
    if (child.type() == pugi::node_element) elements.push_back(child);
  }
  return elements;
}

// An element without "id" matches no id, not even an empty one.
bool hasID(pugi::xml_node element, const std::string& id) {
  pugi::xml_attribute attribute = element.attribute("id");
  return attribute && id == attribute.value();
}

bool isInstallAction(pugi::xml_node feature) {
  pugi::xml_attribute action = feature.attribute("action");
  return !action || std::strcmp(action.value(), "install") == 0;
}

std::optional<std::string> versionOf(pugi::xml_node element) {
  pugi::xml_attribute version = element.attribute("version");
  if (!version) return std::nullopt;
  return std::string(version.value());
}

// The version of the first feature F that "installFeature" installs; "-1" when none.
std::optional<std::string> featureVersionIn(pugi::xml_node installFeature,
                                            const std::string& featureID) {
  pugi::xml_node requirements = firstChildElement(installFeature, "requirements");
  for (pugi::xml_node feature : childElements(requirements, "feature")) {
    if (hasID(feature, featureID) && isInstallAction(feature)) {
      return versionOf(feature);
    }
  }
  return kNoVersion;
}

}  // namespace

std::optional<LoadedManifest> parse(std::string_view bytes) {
  LoadedManifest loaded{std::make_unique<pugi::xml_document>(), declaredManifestEncoding(bytes)};
  pugi::xml_parse_result result = loaded.document->load_buffer(
      bytes.data(), bytes.size(), pugi::parse_full, parseEncodingFor(loaded.encoding));
  if (!result) return std::nullopt;
  loaded.encoding.charset = charsetOf(result.encoding, loaded.encoding.charset);
  return loaded;
}

std::string serialize(const pugi::xml_document& document, const ManifestEncoding& encoding) {
  std::string out;
  StringWriter writer(out);
  // No declaration is made up for a manifest that had none.
  unsigned flags = pugi::format_indent | pugi::format_no_declaration;
  if (encoding.byteOrderMark) flags |= pugi::format_write_bom;
  document.save(writer, "  ", flags, saveEncodingFor(encoding.charset));
  if (encoding.charset == Charset::Latin1) return encodeInSingleByteCharset(out, 0xFF);
  if (encoding.charset == Charset::Ascii) return encodeInSingleByteCharset(out, 0x7F);
  return out;
}

InstallFeatures findInstallFeatures(const pugi::xml_document& document) {
  pugi::xml_node root = document.document_element();
  if (!root) return {{}, "Not able to get root element"};
  pugi::xml_node domainObject = firstChildElement(root, "domain-object");
  if (!domainObject) return {{}, "Not able to get domain-object element"};
  pugi::xml_node objectData = firstChildElement(domainObject, "object-data");
  if (!objectData) return {{}, "Not able to get object-data element"};
  pugi::xml_node install = firstChildElement(objectData, "install");
  if (!install) return {{}, "Not able to get install element"};
  std::vector<pugi::xml_node> installFeatures = childElements(install, "installfeature");
  if (installFeatures.empty()) return {{}, "Not able to get install-feature element"};
  return {std::move(installFeatures), nullptr};
}

void replaceInstallerRoot(const std::vector<pugi::xml_node>& installFeatures,
                          const std::string& root) {
  for (pugi::xml_node installFeature : installFeatures) {
    pugi::xml_node requirements = firstChildElement(installFeature, "requirements");
    for (pugi::xml_node feature : childElements(requirements, "feature")) {
      pugi::xml_attribute url = feature.attribute("url");
      if (!url) continue;
      url.set_value(StringUtil::stringByReplacingOccurrencesOfStringTargetWithString(
                        url.value(), kInstallerRootPlaceholder, root)
                        .c_str());
    }
  }
}

std::optional<std::string> installedFeatureVersion(
    const std::vector<pugi::xml_node>& installFeatures, const std::string& installFeatureID,
    const std::optional<std::string>& featureID) {
  std::optional<std::string> result = kNoVersion;
  for (pugi::xml_node installFeature : installFeatures) {
    if (featureID) {
      result = featureVersionIn(installFeature, *featureID);
    } else if (hasID(installFeature, installFeatureID)) {
      result = versionOf(installFeature);
    }
    if (result != kNoVersion) break;
  }
  return result;
}

}  // namespace support::manifest_document
