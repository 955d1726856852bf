#include "platform/XmlPlistReader.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <locale.h>
#include <stdlib.h>
#include <strings.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "platform/PlistDateText.h"
#include "platform/PlistExpandedSize.h"

namespace platform {
namespace {

struct FreeDocument {
  void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
using Document = std::unique_ptr<xmlDoc, FreeDocument>;

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view trimmedSpace(std::string_view text) {
  while (!text.empty() && isXmlSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isXmlSpace(text.back())) text.remove_suffix(1);
  return text;
}

bool named(const xmlNode* node, const char* name) {
  return std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

// The text inside a leaf element (text and CDATA, comments skipped); none when it holds an
// element or an entity reference that was not expanded.
std::optional<std::string> textOf(const xmlNode* element) {
  std::string text;
  for (const xmlNode* child = element->children; child != nullptr; child = child->next) {
    if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
      text += reinterpret_cast<const char*>(child->content);
    } else if (child->type != XML_COMMENT_NODE && child->type != XML_PI_NODE) {
      return std::nullopt;
    }
  }
  return text;
}

// The element children of a container; none when it also holds text other than white space
// or anything else that is no element.
std::optional<std::vector<const xmlNode*>> elementsOf(const xmlNode* element) {
  std::vector<const xmlNode*> elements;
  for (const xmlNode* child = element->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) {
      elements.push_back(child);
    } else if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
      if (!trimmedSpace(reinterpret_cast<const char*>(child->content)).empty()) return std::nullopt;
    } else if (child->type != XML_COMMENT_NODE && child->type != XML_PI_NODE) {
      return std::nullopt;
    }
  }
  return elements;
}

// Decimal digits with an optional sign, or "0x"/"0X" and hex digits (as other readers take
// them: "0123" is 123); white space around is allowed.
std::optional<PlistValue> integerFrom(std::string_view text) {
  text = trimmedSpace(text);
  int base = 10;
  bool negative = false;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  } else if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  std::uint64_t magnitude = 0;
  if (text.empty() || text.front() == '+' || text.front() == '-') return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (!negative) return PlistValue(magnitude);
  constexpr std::uint64_t kLargestNegative = std::uint64_t{1} << 63;
  if (magnitude > kLargestNegative) return std::nullopt;
  return PlistValue(static_cast<std::int64_t>(0 - magnitude));
}

// A decimal number ("1", "-0.5", ".5e3"), "inf", "infinity" or "nan" in any letter case, with
// an optional sign: what other readers take, without hex floats or locale rules.
bool isRealText(std::string_view text) {
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  for (std::string_view word : {"inf", "infinity", "nan"}) {
    if (text.size() == word.size() && ::strncasecmp(text.data(), word.data(), word.size()) == 0) {
      return true;
    }
  }
  size_t at = 0;
  size_t digits = 0;
  auto skipDigits = [&] {
    size_t count = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at, ++count;
    return count;
  };
  digits += skipDigits();
  if (at < text.size() && text[at] == '.') {
    ++at;
    digits += skipDigits();
  }
  if (digits == 0) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    if (skipDigits() == 0) return false;
  }
  return at == text.size();
}

std::optional<PlistValue> realFrom(std::string_view text) {
  text = trimmedSpace(text);
  if (!isRealText(text)) return std::nullopt;
  static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", nullptr);
  const std::string copy(text);
  // Correctly rounded; too large gives infinity and too small zero, as other readers give.
  return PlistValue(::strtod_l(copy.c_str(), nullptr, cLocale));
}

int base64Digit(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Base64 with white space anywhere and "=" padding only at the end.
std::optional<PlistValue> dataFrom(std::string_view text) {
  std::string digits;
  for (char c : text) {
    if (!isXmlSpace(c)) digits += c;
  }
  if (digits.size() % 4 != 0) return std::nullopt;
  size_t padding = 0;
  while (padding < 2 && padding < digits.size() && digits[digits.size() - 1 - padding] == '=') {
    ++padding;
  }
  PlistData bytes;
  std::uint32_t group = 0;
  for (size_t i = 0; i < digits.size() - padding; ++i) {
    const int digit = base64Digit(digits[i]);
    if (digit < 0) return std::nullopt;
    group = group << 6 | static_cast<std::uint32_t>(digit);
    if (i % 4 == 3) {
      bytes.push_back(static_cast<std::uint8_t>(group >> 16));
      bytes.push_back(static_cast<std::uint8_t>(group >> 8));
      bytes.push_back(static_cast<std::uint8_t>(group));
      group = 0;
    }
  }
  if (padding > 0) {
    const size_t left = 4 - padding;  // 2 or 3 digits carry 1 or 2 bytes
    group <<= 6 * padding;
    bytes.push_back(static_cast<std::uint8_t>(group >> 16));
    if (left == 3) bytes.push_back(static_cast<std::uint8_t>(group >> 8));
  }
  return PlistValue(std::move(bytes));
}

// libxml2 refuses elements nested deeper than 256 below the root (without XML_PARSE_HUGE), which
// bounds this recursion well below the stack's limit.
std::optional<PlistValue> valueOf(const xmlNode* element, PlistExpandedBudget& budget);

std::optional<PlistValue> arrayFrom(const xmlNode* element, PlistExpandedBudget& budget) {
  const auto elements = elementsOf(element);
  if (!elements || !budget.take(0)) return std::nullopt;
  PlistArray array;
  for (const xmlNode* child : *elements) {
    auto item = valueOf(child, budget);
    if (!item) return std::nullopt;
    array.push_back(std::move(*item));
  }
  return PlistValue(std::move(array));
}

std::optional<PlistValue> dictionaryFrom(const xmlNode* element, PlistExpandedBudget& budget) {
  const auto elements = elementsOf(element);
  if (!elements || elements->size() % 2 != 0 || !budget.take(0)) return std::nullopt;
  PlistDictionary dictionary;
  for (size_t i = 0; i < elements->size(); i += 2) {
    if (!named((*elements)[i], "key")) return std::nullopt;
    auto key = textOf((*elements)[i]);
    if (!key || !budget.take(key->size())) return std::nullopt;
    auto item = valueOf((*elements)[i + 1], budget);
    if (!item) return std::nullopt;
    dictionary.insert_or_assign(std::move(*key), std::move(*item));  // the last one counts
  }
  return PlistValue(std::move(dictionary));
}

std::optional<PlistValue> leafFrom(const xmlNode* element, PlistExpandedBudget& budget) {
  const auto text = textOf(element);
  if (!text || !budget.take(text->size())) return std::nullopt;
  if (named(element, "string")) return PlistValue(*text);
  if (named(element, "integer")) return integerFrom(*text);
  if (named(element, "real")) return realFrom(*text);
  if (named(element, "data")) return dataFrom(*text);
  if (named(element, "date")) {
    const auto date = dateFromXmlText(*text);
    return date ? std::optional<PlistValue>(*date) : std::nullopt;
  }
  if (!trimmedSpace(*text).empty()) return std::nullopt;
  if (named(element, "true")) return PlistValue(true);
  if (named(element, "false")) return PlistValue(false);
  return std::nullopt;
}

std::optional<PlistValue> valueOf(const xmlNode* element, PlistExpandedBudget& budget) {
  if (element->ns != nullptr) return std::nullopt;
  if (named(element, "array")) return arrayFrom(element, budget);
  if (named(element, "dict")) return dictionaryFrom(element, budget);
  return leafFrom(element, budget);
}

// The encodings other readers know without extra tables; any other is refused.
bool isKnownEncoding(const xmlChar* declared) {
  if (declared == nullptr) return true;
  for (const char* name : {"UTF-8", "UTF-16", "UTF-16LE", "UTF-16BE", "ISO-8859-1", "US-ASCII"}) {
    if (::strcasecmp(reinterpret_cast<const char*>(declared), name) == 0) return true;
  }
  return false;
}

// Entity declarations are refused whole: a property list has none, and expanding them is how
// a hostile file blows up or reaches other files.
bool declaresEntities(const xmlDoc* document) {
  if (document->intSubset == nullptr) return false;
  for (const xmlNode* node = document->intSubset->children; node != nullptr; node = node->next) {
    if (node->type == XML_ENTITY_DECL) return true;
  }
  return false;
}

}  // namespace

std::optional<PlistValue> parseXmlPlist(std::string_view bytes) {
  if (bytes.size() > static_cast<size_t>(std::numeric_limits<int>::max())) return std::nullopt;
  // No network, no external DTD, no entity expansion, errors not printed; CDATA as text.
  const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
  Document document(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, options));
  if (!document || !isKnownEncoding(document->encoding) || declaresEntities(document.get())) {
    return std::nullopt;
  }
  const xmlNode* root = xmlDocGetRootElement(document.get());
  if (root == nullptr || root->ns != nullptr) return std::nullopt;
  PlistExpandedBudget budget;
  if (!named(root, "plist")) return valueOf(root, budget);
  const auto elements = elementsOf(root);
  if (!elements || elements->size() != 1) return std::nullopt;
  return valueOf(elements->front(), budget);
}

}  // namespace platform
