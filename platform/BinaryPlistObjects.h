#pragma once
// The object table of a binary property list ("bplist00"): the trailer, where each object
// starts, its marker and the references of containers, and the exact values of the leaves.
// Nothing here trusts the file: every offset, size and reference is checked against its length.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/PlistValue.h"

namespace platform {

class BinaryPlistObjects {
 public:
  enum Marker : std::uint8_t {
    kSingleton = 0x0, kInteger = 0x1, kReal = 0x2, kDate = 0x3, kData = 0x4, kAsciiString = 0x5,
    kUtf16String = 0x6, kUid = 0x8, kArray = 0xA, kOrderedSet = 0xB, kSet = 0xC, kDictionary = 0xD
  };
  // Marker type (high nibble), its low nibble, element count and where the elements start.
  struct Header {
    std::uint8_t type;
    std::uint8_t low;
    std::uint64_t count;
    std::uint64_t start;
  };

  explicit BinaryPlistObjects(std::string_view bytes) : bytes_(bytes) {}

  // False when the trailer or the offset table does not fit the file.
  bool readTrailer();

  std::uint64_t objectCount() const { return objectCount_; }
  std::uint64_t topObject() const { return topObject_; }

  std::optional<Header> headerOf(std::uint64_t object) const;

  // The references a container holds (a dictionary's keys, then its values); none when they do
  // not fit the file.
  std::optional<std::vector<std::uint64_t>> referencesOf(const Header& header) const;

  // Exact leaf values; none when the object is damaged or holds what PlistValue cannot:
  // an integer is 1, 2 or 4 bytes unsigned, 8 bytes signed, or 16 bytes of which the upper 8
  // are zero (how writers store 2^63 .. 2^64-1); a text is ASCII or UTF-16 with whole
  // surrogate pairs; a date is a double within the years 1 to 9999.
  std::optional<PlistValue> integerAt(const Header& header) const;
  std::optional<PlistValue> dateAt(const Header& header) const;
  std::optional<std::string> stringAt(const Header& header) const;
  std::optional<double> realAt(const Header& header) const;
  std::optional<PlistData> dataAt(const Header& header) const;

 private:
  std::optional<std::uint64_t> bigEndian(std::uint64_t offset, std::uint64_t size) const;
  bool fits(std::uint64_t offset, std::uint64_t size) const {
    return offset <= bytes_.size() && size <= bytes_.size() - offset;
  }

  std::string_view bytes_;
  std::uint64_t offsetSize_ = 0;
  std::uint64_t referenceSize_ = 0;
  std::uint64_t objectCount_ = 0;
  std::uint64_t topObject_ = 0;
  std::uint64_t tableOffset_ = 0;
};

}  // namespace platform
