// Loading and saving; the element path is in ManifestElementPath.cpp.
#include "installer/formats/ManifestDocument.h"

#include <libxml/parser.h>
#include <libxml/xmlsave.h>

#include <libxml/entities.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>

#include "installer/formats/XmlLibraryScope.h"

namespace support::manifest_document {
namespace {

struct ByteOrderMark {
  std::string_view bytes;
  const char* encoding;
};
// The byte order marks libxml2 reads. A UTF-16 file without a mark is read only when it
// declares its encoding.
constexpr ByteOrderMark kByteOrderMarks[] = {
    {"\xEF\xBB\xBF", "UTF-8"}, {"\xFF\xFE", "UTF-16LE"}, {"\xFE\xFF", "UTF-16BE"}};

ByteOrderMark byteOrderMarkOf(std::string_view bytes) {
  for (const ByteOrderMark& mark : kByteOrderMarks) {
    if (bytes.substr(0, mark.bytes.size()) == mark.bytes) return mark;
  }
  return {"", "UTF-8"};
}

// Entity references stay references (no substitution), no DTD is loaded, nothing is fetched.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

bool isBlankText(const xmlNode* node) {
  return node->type == XML_TEXT_NODE && xmlIsBlankNode(node) == 1;
}

// Text that belongs to the content: any non-blank text, a CDATA section, an entity reference.
bool isContentText(const xmlNode* node) {
  return node->type == XML_CDATA_SECTION_NODE || node->type == XML_ENTITY_REF_NODE ||
         (node->type == XML_TEXT_NODE && !isBlankText(node));
}

// Elements, comments and processing instructions with blanks between them, and nothing else.
bool holdsElementContent(const xmlNode* element) {
  bool structure = false;
  for (const xmlNode* child = element->children; child != nullptr; child = child->next) {
    if (isContentText(child)) return false;
    structure |= child->type != XML_TEXT_NODE;
  }
  return structure;
}

void removeBlankChildren(xmlNode* element) {
  for (xmlNode* child = element->children; child != nullptr;) {
    xmlNode* next = child->next;
    if (isBlankText(child)) {
      xmlUnlinkNode(child);
      xmlFreeNode(child);
    }
    child = next;
  }
}

// The saver indents the children of an element that has no text child and writes the
// children of any other element as they are. An element kept as it is (preserved space) gets
// an empty text child, which writes nothing and keeps the saver's indentation out (next to a
// text child it is merged into it, which changes nothing either).
void keepAsItIs(xmlNode* element) {
  if (element->children != nullptr) xmlAddChild(element, xmlNewDocText(element->doc, BAD_CAST ""));
}

// Drops the blank text between elements where it is only layout, so that a save re-indents
// exactly there.
void dropLayoutBlanks(xmlNode* element) {
  if (xmlNodeGetSpacePreserve(element) == 1) {
    keepAsItIs(element);
    return;
  }
  if (!holdsElementContent(element)) return;
  removeBlankChildren(element);
  for (xmlNode* child = element->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) dropLayoutBlanks(child);
  }
}

// The deepest element nesting, counted without recursion (the root element is 1).
int elementDepth(const xmlDoc& document) {
  int deepest = 0;
  int depth = 0;
  const xmlNode* node = document.children;
  while (node != nullptr) {
    if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
      deepest = std::max(deepest, ++depth);
      node = node->children;
      continue;
    }
    if (node->type == XML_ELEMENT_NODE) deepest = std::max(deepest, depth + 1);
    while (node != nullptr && node->next == nullptr) {
      node = node->parent;
      if (node == nullptr || node->type != XML_ELEMENT_NODE) return deepest;
      --depth;
    }
    if (node != nullptr) node = node->next;
  }
  return deepest;
}

std::size_t saturatingSum(std::size_t a, std::size_t b) {
  std::size_t sum = 0;
  return __builtin_add_overflow(a, b, &sum) ? SIZE_MAX : sum;
}

// What reading the attribute values costs: the length of their text once entity references
// are replaced, as the element path reads them. An entity is measured once.
class ExpansionMeter {
 public:
  explicit ExpansionMeter(const xmlDoc& document) : _document(document) {}

  std::size_t lengthOf(const xmlNode* nodes) {
    std::size_t length = 0;
    for (const xmlNode* node = nodes; node != nullptr; node = node->next) {
      if (node->type == XML_ENTITY_REF_NODE) {
        length = saturatingSum(length, lengthOfEntity(node->name));
      } else if (node->content != nullptr) {
        length = saturatingSum(length, std::strlen(reinterpret_cast<const char*>(node->content)));
      }
    }
    return length;
  }

 private:
  std::size_t lengthOfEntity(const xmlChar* name) {
    xmlEntity* entity = xmlGetDocEntity(&_document, name);
    if (entity == nullptr) return 0;
    auto [known, added] = _lengths.try_emplace(entity, 0);  // 0 while measured: no loop
    if (added) known->second = lengthOf(entity->children);
    return known->second;
  }

  const xmlDoc& _document;
  std::map<const xmlEntity*, std::size_t> _lengths;
};

// The length of all attribute values with entity references replaced (SIZE_MAX when more).
std::size_t attributeTextLength(const xmlDoc& document) {
  ExpansionMeter meter(document);
  std::size_t total = 0;
  std::vector<const xmlNode*> pending;
  if (const xmlNode* root = xmlDocGetRootElement(&document)) pending.push_back(root);
  while (!pending.empty()) {
    const xmlNode* element = pending.back();
    pending.pop_back();
    for (const xmlAttr* attribute = element->properties; attribute != nullptr;
         attribute = attribute->next) {
      total = saturatingSum(total, meter.lengthOf(attribute->children));
    }
    for (const xmlNode* child = element->children; child != nullptr; child = child->next) {
      if (child->type == XML_ELEMENT_NODE) pending.push_back(child);
    }
  }
  return total;
}

bool isExternalEntity(const xmlNode* node) {
  if (node->type != XML_ENTITY_DECL) return false;
  const auto type = reinterpret_cast<const xmlEntity*>(node)->etype;
  return type == XML_EXTERNAL_GENERAL_PARSED_ENTITY ||
         type == XML_EXTERNAL_GENERAL_UNPARSED_ENTITY || type == XML_EXTERNAL_PARAMETER_ENTITY;
}

// A document type that names an outside file (a DTD, or an entity declared SYSTEM or PUBLIC).
// We never read one, but the manifest goes to the launcher, which runs as root and might.
bool refersOutside(const xmlDoc& document) {
  if (document.extSubset != nullptr) return true;
  const xmlDtd* dtd = document.intSubset;
  if (dtd == nullptr) return false;
  if (dtd->ExternalID != nullptr || dtd->SystemID != nullptr) return true;
  for (const xmlNode* node = dtd->children; node != nullptr; node = node->next) {
    if (isExternalEntity(node)) return true;
  }
  return false;
}

int writeToString(void* context, const char* bytes, int length) {
  static_cast<std::string*>(context)->append(bytes, static_cast<std::size_t>(length));
  return length;
}

// libxml2 writes the mark of "UTF-16" itself, and none for UTF-8 or a UTF-16 of named order.
std::string byteOrderMarkFor(const LoadedManifest& manifest, const char* encoding,
                             std::string_view saved) {
  const ByteOrderMark mark = byteOrderMarkOf(manifest.byteOrderMark);
  if (mark.bytes.empty() || xmlStrcasecmp(BAD_CAST encoding, BAD_CAST mark.encoding) != 0 ||
      byteOrderMarkOf(saved).bytes == mark.bytes) {
    return "";
  }
  return std::string(mark.bytes);
}

}  // namespace

std::optional<LoadedManifest> parse(std::string_view bytes) {
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
  XmlLibraryScope scope;
  xmlParserCtxtPtr context = xmlNewParserCtxt();
  if (context == nullptr) return std::nullopt;
  Document document(xmlCtxtReadMemory(context, bytes.data(), static_cast<int>(bytes.size()),
                                      nullptr, nullptr, kParseOptions));
  const bool wellFormed = context->wellFormed != 0;
  xmlFreeParserCtxt(context);
  if (!document || !wellFormed || refersOutside(*document) ||
      elementDepth(*document) > kMaxElementDepth ||
      attributeTextLength(*document) > kMaxAttributeText) {
    return std::nullopt;
  }
  if (xmlNode* root = xmlDocGetRootElement(document.get())) dropLayoutBlanks(root);
  const ByteOrderMark mark = byteOrderMarkOf(bytes);
  return LoadedManifest{std::move(document), std::string(mark.bytes), mark.encoding};
}

bool mayReferOutside(std::string_view bytes) {
  // Not even a broken document goes to the launcher with a declaration in it that a more lenient
  // reader might follow.
  const bool declares = bytes.find("<!DOCTYPE") != std::string_view::npos ||
                        bytes.find("<!ENTITY") != std::string_view::npos;
  if (!declares) return false;
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) return true;
  XmlLibraryScope scope;
  xmlParserCtxtPtr context = xmlNewParserCtxt();
  if (context == nullptr) return true;
  Document document(xmlCtxtReadMemory(context, bytes.data(), static_cast<int>(bytes.size()),
                                      nullptr, nullptr, kParseOptions));
  const bool wellFormed = context->wellFormed != 0;
  xmlFreeParserCtxt(context);
  return !document || !wellFormed || refersOutside(*document);
}

namespace {

std::optional<std::string> writeDocument(const LoadedManifest& manifest) {
  XmlLibraryScope scope;
  xmlDoc* document = manifest.document.get();
  // A document without a declaration (standalone -1: none was read) gets none made up.
  int options = XML_SAVE_FORMAT;
  if (document->standalone == -1) options |= XML_SAVE_NO_DECL;
  // Named even for UTF-8: without a name the saver writes every other character as a reference.
  const char* encoding = document->encoding != nullptr
                             ? reinterpret_cast<const char*>(document->encoding)
                             : manifest.undeclaredEncoding;
  std::string out;
  xmlSaveCtxtPtr save = xmlSaveToIO(writeToString, nullptr, &out, encoding, options);
  if (save == nullptr) return std::nullopt;
  const bool written = xmlSaveDoc(save, document) >= 0;
  if (xmlSaveClose(save) < 0 || !written) return std::nullopt;
  return byteOrderMarkFor(manifest, encoding, out) + out;
}

}  // namespace

std::optional<std::string> serialize(const LoadedManifest& manifest) {
  std::optional<std::string> bytes = writeDocument(manifest);
  // Some encodings libxml2 reads but cannot read back once it has written them (UTF-7 is one):
  // a save that no parser could load again would destroy the manifest, so it is refused.
  if (!bytes || !parse(*bytes)) return std::nullopt;
  return bytes;
}

}  // namespace support::manifest_document
