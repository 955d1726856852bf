#include "platform/PlistHandle.h"

#include <cstdlib>

#include "platform/LibplistInputCheck.h"

namespace platform {
namespace {

using Objects = BinaryPlistObjects;

class BinaryTreeWalk {
 public:
  explicit BinaryTreeWalk(const Objects& objects) : objects_(objects) {}

  std::optional<PlistValue> value(plist_t node, std::uint64_t object, int depth) const {
    const auto header = objects_.headerOf(object);
    if (node == nullptr || !header || depth > kMaxPlistNesting) return std::nullopt;
    const plist_type type = plist_get_node_type(node);
    switch (header->type) {
      case Objects::kSingleton:
        if (type != PLIST_BOOLEAN) break;  // libplist reads only 0x08 and 0x09 as booleans
        return PlistValue(header->low == 0x9);
      case Objects::kInteger:
        if (type != PLIST_UINT) break;
        return objects_.integerAt(*header);
      case Objects::kReal: {
        const auto real = type == PLIST_REAL ? objects_.realAt(*header) : std::nullopt;
        return real ? std::optional<PlistValue>(*real) : std::nullopt;
      }
      case Objects::kDate:
        if (type != PLIST_DATE) break;
        return objects_.dateAt(*header);
      case Objects::kData: {
        auto data = type == PLIST_DATA ? objects_.dataAt(*header) : std::nullopt;
        return data ? std::optional<PlistValue>(std::move(*data)) : std::nullopt;
      }
      case Objects::kAsciiString:
      case Objects::kUtf16String: {
        auto text = type == PLIST_STRING ? objects_.stringAt(*header) : std::nullopt;
        return text ? std::optional<PlistValue>(std::move(*text)) : std::nullopt;
      }
      case Objects::kArray:
        if (type != PLIST_ARRAY) break;
        return array(node, *header, depth);
      case Objects::kDictionary:
        if (type != PLIST_DICT) break;
        return dictionary(node, *header, depth);
      default:
        break;
    }
    return std::nullopt;
  }

 private:
  std::optional<PlistValue> array(plist_t node, const Objects::Header& header, int depth) const {
    const auto references = objects_.referencesOf(header);
    // Fewer items in libplist's array end the loop below with none.
    if (!references) return std::nullopt;
    PlistArray array;
    for (std::uint32_t i = 0; i < references->size(); ++i) {
      auto item = value(plist_array_get_item(node, i), (*references)[i], depth + 1);
      if (!item) return std::nullopt;
      array.push_back(std::move(*item));
    }
    return PlistValue(std::move(array));
  }

  std::optional<PlistValue> dictionary(plist_t node, const Objects::Header& header, int depth) const {
    const auto references = objects_.referencesOf(header);
    // Fewer items in libplist's dictionary (a key it kept once) end the loop below with none.
    if (!references) return std::nullopt;
    PlistDictionary dictionary;
    plist_dict_iter rawIterator = nullptr;
    plist_dict_new_iter(node, &rawIterator);
    std::unique_ptr<void, decltype(&std::free)> iterator(rawIterator, &std::free);
    for (std::uint64_t i = 0; i < header.count; ++i) {
      plist_t item = nullptr;
      plist_dict_next_item(node, iterator.get(), nullptr, &item);
      const auto keyHeader = objects_.headerOf((*references)[i]);
      if (item == nullptr || !keyHeader ||
          (keyHeader->type != Objects::kAsciiString && keyHeader->type != Objects::kUtf16String)) {
        return std::nullopt;
      }
      auto key = objects_.stringAt(*keyHeader);
      auto converted = value(item, (*references)[header.count + i], depth + 1);
      if (!key || !converted) return std::nullopt;
      dictionary.insert_or_assign(std::move(*key), std::move(*converted));  // the last one counts
    }
    return PlistValue(std::move(dictionary));
  }

  const Objects& objects_;
};

}  // namespace

std::optional<PlistValue> fromBinaryPlistNode(plist_t node, const BinaryPlistObjects& objects) {
  return BinaryTreeWalk(objects).value(node, objects.topObject(), 0);
}

}  // namespace platform
