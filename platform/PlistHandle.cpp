#include "platform/PlistHandle.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string_view>

#include "platform/LibplistInputCheck.h"

namespace platform {
namespace {

// Maximum nesting we build or read; deeper trees are refused rather than risking the stack.
constexpr int kMaxDepth = kMaxPlistNesting;

bool isXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// True when the text is valid UTF-8 made only of characters an XML document may hold.
bool isXmlText(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3
                                   : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < smallest[length] || !isXmlChar(c)) return false;
    i += length;
  }
  return true;
}

PlistHandle dateNode(const PlistDate& date) {
  const double seconds = std::floor(date.secondsSince2001);
  if (!std::isfinite(seconds) || seconds < std::numeric_limits<int32_t>::min() ||
      seconds > std::numeric_limits<int32_t>::max()) {
    return nullptr;
  }
  return PlistHandle(plist_new_date(static_cast<int32_t>(seconds), 0));
}

PlistHandle toNode(const PlistValue& value, int depth);

PlistHandle arrayNode(const PlistArray& array, int depth) {
  PlistHandle node(plist_new_array());
  for (const PlistValue& item : array) {
    PlistHandle child = toNode(item, depth + 1);
    if (!child) return nullptr;
    plist_array_append_item(node.get(), child.release());
  }
  return node;
}

PlistHandle dictionaryNode(const PlistDictionary& dictionary, int depth) {
  PlistHandle node(plist_new_dict());
  for (const auto& [key, item] : dictionary) {
    if (key.find('\0') != std::string::npos || !isXmlText(key)) return nullptr;
    PlistHandle child = toNode(item, depth + 1);
    if (!child) return nullptr;
    plist_dict_set_item(node.get(), key.c_str(), child.release());
  }
  return node;
}

PlistHandle toNode(const PlistValue& value, int depth) {
  if (depth > kMaxDepth) return nullptr;
  switch (value.type()) {
    case PlistValue::Type::String: {
      const std::string& text = *value.asString();
      if (!isXmlText(text)) return nullptr;  // also refuses NUL, which libplist would cut at
      return PlistHandle(plist_new_string(text.c_str()));
    }
    case PlistValue::Type::Integer:
      return PlistHandle(plist_new_uint(static_cast<uint64_t>(*value.asInteger())));
    case PlistValue::Type::Real:
      return PlistHandle(plist_new_real(*value.asReal()));
    case PlistValue::Type::Boolean:
      return PlistHandle(plist_new_bool(*value.asBoolean() ? 1 : 0));
    case PlistValue::Type::Date:
      return dateNode(*value.asDate());
    case PlistValue::Type::Data: {
      const PlistData& data = *value.asData();
      return PlistHandle(
          plist_new_data(reinterpret_cast<const char*>(data.data()), data.size()));
    }
    case PlistValue::Type::Array:
      return arrayNode(*value.asArray(), depth);
    case PlistValue::Type::Dictionary:
      return dictionaryNode(*value.asDictionary(), depth);
  }
  return nullptr;
}

// Strings libplist allocates with malloc and hands to the caller.
struct FreeMalloced {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Malloced = std::unique_ptr<T, FreeMalloced>;

std::optional<PlistValue> fromNode(plist_t node, int depth);

std::optional<PlistValue> fromArray(plist_t node, int depth) {
  PlistArray array;
  const uint32_t size = plist_array_get_size(node);
  array.reserve(size);
  for (uint32_t i = 0; i < size; ++i) {
    auto item = fromNode(plist_array_get_item(node, i), depth + 1);
    if (!item) return std::nullopt;
    array.push_back(std::move(*item));
  }
  return PlistValue(std::move(array));
}

// The key of a dictionary item; none when the node before the value is no key, which
// libplist 2.2's binary reader lets through (and its key getter would abort on).
std::optional<std::string> keyOfItem(plist_t item) {
  plist_t keyNode = plist_dict_item_get_key(item);
  if (keyNode == nullptr || plist_get_node_type(keyNode) != PLIST_KEY) return std::nullopt;
  char* rawKey = nullptr;
  plist_get_key_val(keyNode, &rawKey);
  Malloced<char> key(rawKey);
  if (key == nullptr) return std::nullopt;
  return std::string(key.get());
}

std::optional<PlistValue> fromDictionary(plist_t node, int depth) {
  PlistDictionary dictionary;
  plist_dict_iter rawIterator = nullptr;
  plist_dict_new_iter(node, &rawIterator);
  Malloced<void> iterator(rawIterator);
  for (;;) {
    plist_t item = nullptr;
    plist_dict_next_item(node, iterator.get(), nullptr, &item);
    if (item == nullptr) break;
    auto key = keyOfItem(item);
    if (!key) return std::nullopt;
    auto converted = fromNode(item, depth + 1);
    if (!converted) return std::nullopt;
    dictionary.insert_or_assign(std::move(*key), std::move(*converted));
  }
  return PlistValue(std::move(dictionary));
}

// libplist 2.2 splits a date into whole seconds truncated towards zero and a fraction kept
// without its sign.
PlistDate fromDate(plist_t node) {
  int32_t seconds = 0;
  int32_t microseconds = 0;
  plist_get_date_val(node, &seconds, &microseconds);
  const double fraction = microseconds / 1e6;
  return PlistDate{seconds < 0 ? seconds - fraction : seconds + fraction};
}

std::optional<PlistValue> fromNode(plist_t node, int depth) {
  if (node == nullptr || depth > kMaxDepth) return std::nullopt;
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t flag = 0;
      plist_get_bool_val(node, &flag);
      return PlistValue(flag != 0);
    }
    case PLIST_UINT: {
      uint64_t number = 0;
      plist_get_uint_val(node, &number);
      return PlistValue(static_cast<std::int64_t>(number));
    }
    case PLIST_UID: {
      uint64_t number = 0;
      plist_get_uid_val(node, &number);
      return PlistValue(static_cast<std::int64_t>(number));
    }
    case PLIST_REAL: {
      double number = 0;
      plist_get_real_val(node, &number);
      return PlistValue(number);
    }
    case PLIST_STRING: {
      uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      return PlistValue(std::string(text != nullptr ? text : "", text != nullptr ? length : 0));
    }
    case PLIST_DATE:
      return PlistValue(fromDate(node));
    case PLIST_DATA: {
      uint64_t length = 0;
      const char* bytes = plist_get_data_ptr(node, &length);
      const auto* begin = reinterpret_cast<const std::uint8_t*>(bytes);
      return PlistValue(bytes != nullptr ? PlistData(begin, begin + length) : PlistData{});
    }
    case PLIST_ARRAY:
      return fromArray(node, depth);
    case PLIST_DICT:
      return fromDictionary(node, depth);
    case PLIST_KEY:
    case PLIST_NONE:
      break;
  }
  return std::nullopt;
}

}  // namespace

PlistHandle toPlistNode(const PlistValue& value) { return toNode(value, 0); }

std::optional<PlistValue> fromPlistNode(plist_t node) { return fromNode(node, 0); }

}  // namespace platform
