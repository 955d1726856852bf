// The fixed element path of a manifest; names are matched as written.
#include <cstring>

#include "installer/formats/ManifestDocument.h"
#include "installer/formats/StringUtil.h"

namespace support::manifest_document {
namespace {

constexpr const char* kInstallerRootPlaceholder = "${installer.root}";
constexpr const char* kNoVersion = "-1";

// A name written with a prefix ("p:install") is never one of the plain names looked for.
bool hasName(const xmlNs* ns, const xmlChar* localName, const char* name) {
  return (ns == nullptr || ns->prefix == nullptr) &&
         std::strcmp(reinterpret_cast<const char*>(localName), name) == 0;
}

bool isElementNamed(const xmlNode* node, const char* name) {
  return node->type == XML_ELEMENT_NODE && hasName(node->ns, node->name, name);
}

xmlNode* firstChildElement(xmlNode* parent, const char* name) {
  if (parent == nullptr) return nullptr;
  for (xmlNode* child = parent->children; child != nullptr; child = child->next) {
    if (isElementNamed(child, name)) return child;
  }
  return nullptr;
}

std::vector<xmlNode*> childElements(xmlNode* parent, const char* name) {
  std::vector<xmlNode*> elements;
  if (parent == nullptr) return elements;
  for (xmlNode* child = parent->children; child != nullptr; child = child->next) {
    if (isElementNamed(child, name)) elements.push_back(child);
  }
  return elements;
}

// The attribute as written on the element; defaults a document type declares do not count.
xmlAttr* attributeNamed(xmlNode* element, const char* name) {
  for (xmlAttr* attribute = element->properties; attribute != nullptr;
       attribute = attribute->next) {
    if (hasName(attribute->ns, attribute->name, name)) return attribute;
  }
  return nullptr;
}

// The value with entity references replaced by their text.
std::optional<std::string> attributeValue(xmlNode* element, const char* name) {
  xmlAttr* attribute = attributeNamed(element, name);
  if (attribute == nullptr) return std::nullopt;
  xmlChar* value = xmlNodeListGetString(element->doc, attribute->children, 1);
  std::string text = value != nullptr ? reinterpret_cast<const char*>(value) : "";
  xmlFree(value);
  return text;
}

void setAttributeText(xmlAttr* attribute, const std::string& text) {
  xmlNode* value = xmlNewDocText(attribute->doc, BAD_CAST text.c_str());
  xmlFreeNodeList(attribute->children);
  attribute->children = attribute->last = value;
  value->parent = reinterpret_cast<xmlNode*>(attribute);
}

// An element without "id" matches no id, not even an empty one.
bool hasID(xmlNode* element, const std::string& id) { return attributeValue(element, "id") == id; }

bool isInstallAction(xmlNode* feature) {
  std::optional<std::string> action = attributeValue(feature, "action");
  return !action || *action == "install";
}

// The version of the first feature F that "installFeature" installs; "-1" when none.
std::optional<std::string> featureVersionIn(xmlNode* installFeature, const std::string& featureID) {
  xmlNode* requirements = firstChildElement(installFeature, "requirements");
  for (xmlNode* feature : childElements(requirements, "feature")) {
    if (hasID(feature, featureID) && isInstallAction(feature)) {
      return attributeValue(feature, "version");
    }
  }
  return kNoVersion;
}

}  // namespace

InstallFeatures findInstallFeatures(xmlDoc& document) {
  xmlNode* root = xmlDocGetRootElement(&document);
  if (root == nullptr) return {{}, "Not able to get root element"};
  xmlNode* domainObject = firstChildElement(root, "domain-object");
  if (domainObject == nullptr) return {{}, "Not able to get domain-object element"};
  xmlNode* objectData = firstChildElement(domainObject, "object-data");
  if (objectData == nullptr) return {{}, "Not able to get object-data element"};
  xmlNode* install = firstChildElement(objectData, "install");
  if (install == nullptr) return {{}, "Not able to get install element"};
  std::vector<xmlNode*> installFeatures = childElements(install, "installfeature");
  if (installFeatures.empty()) return {{}, "Not able to get install-feature element"};
  return {std::move(installFeatures), nullptr};
}

void replaceInstallerRoot(const std::vector<xmlNode*>& installFeatures, const std::string& root) {
  for (xmlNode* installFeature : installFeatures) {
    xmlNode* requirements = firstChildElement(installFeature, "requirements");
    for (xmlNode* feature : childElements(requirements, "feature")) {
      std::optional<std::string> url = attributeValue(feature, "url");
      if (!url || url->find(kInstallerRootPlaceholder) == std::string::npos) continue;
      setAttributeText(attributeNamed(feature, "url"),
                       StringUtil::stringByReplacingOccurrencesOfStringTargetWithString(
                           *url, kInstallerRootPlaceholder, root));
    }
  }
}

std::optional<std::string> installedFeatureVersion(const std::vector<xmlNode*>& installFeatures,
                                                   const std::string& installFeatureID,
                                                   const std::optional<std::string>& featureID) {
  std::optional<std::string> result = kNoVersion;
  for (xmlNode* installFeature : installFeatures) {
    if (featureID) {
      result = featureVersionIn(installFeature, *featureID);
    } else if (hasID(installFeature, installFeatureID)) {
      result = attributeValue(installFeature, "version");
    }
    if (result != kNoVersion) break;
  }
  return result;
}

}  // namespace support::manifest_document
