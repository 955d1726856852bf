#include "platform/BinaryPlistScan.h"

#include <cstdint>
#include <optional>

namespace platform {
namespace {

constexpr size_t kHeaderSize = 8;   // "bplist00"
constexpr size_t kTrailerSize = 32;
constexpr uint8_t kUtf16StringMarker = 0x6;
constexpr uint8_t kIntegerMarker = 0x1;

// A big-endian unsigned number of size bytes at offset; none when it does not fit.
std::optional<uint64_t> bigEndian(std::string_view bytes, uint64_t offset, uint64_t size) {
  if (size == 0 || size > 8 || offset > bytes.size() || size > bytes.size() - offset) {
    return std::nullopt;
  }
  uint64_t value = 0;
  for (uint64_t i = 0; i < size; ++i) {
    value = value << 8 | static_cast<uint8_t>(bytes[offset + i]);
  }
  return value;
}

// The number of UTF-16 units of the string object at offset and where they start.
std::optional<std::pair<uint64_t, uint64_t>> utf16Units(std::string_view bytes, uint64_t offset) {
  const auto marker = bigEndian(bytes, offset, 1);
  if (!marker || (*marker >> 4) != kUtf16StringMarker) return std::nullopt;
  if ((*marker & 0xF) != 0xF) return std::pair{*marker & 0xF, offset + 1};
  const auto lengthMarker = bigEndian(bytes, offset + 1, 1);
  if (!lengthMarker || (*lengthMarker >> 4) != kIntegerMarker) return std::nullopt;
  const uint64_t lengthSize = uint64_t{1} << (*lengthMarker & 0xF);
  const auto count = bigEndian(bytes, offset + 2, lengthSize);
  if (!count) return std::nullopt;
  return std::pair{*count, offset + 2 + lengthSize};
}

bool holdsNulUnit(std::string_view bytes, uint64_t offset) {
  const auto units = utf16Units(bytes, offset);
  if (!units) return false;
  const auto [count, start] = *units;
  if (start > bytes.size() || count > (bytes.size() - start) / 2) return false;
  for (uint64_t i = 0; i < count; ++i) {
    if (bytes[start + 2 * i] == '\0' && bytes[start + 2 * i + 1] == '\0') return true;
  }
  return false;
}

}  // namespace

bool binaryPlistHasUtf16Nul(std::string_view bytes) {
  if (bytes.size() < kHeaderSize + kTrailerSize) return false;
  const uint64_t trailer = bytes.size() - kTrailerSize;
  const auto offsetSize = bigEndian(bytes, trailer + 6, 1);
  const auto objectCount = bigEndian(bytes, trailer + 8, 8);
  const auto tableOffset = bigEndian(bytes, trailer + 24, 8);
  if (!offsetSize || !objectCount || !tableOffset || *offsetSize == 0 || *offsetSize > 8 ||
      *tableOffset > trailer || *objectCount > (trailer - *tableOffset) / *offsetSize) {
    return false;
  }
  for (uint64_t i = 0; i < *objectCount; ++i) {
    const auto objectOffset = bigEndian(bytes, *tableOffset + i * *offsetSize, *offsetSize);
    if (objectOffset && holdsNulUnit(bytes, *objectOffset)) return true;
  }
  return false;
}

}  // namespace platform
