#include "platform/BinaryPlistObjects.h"

#include <bit>
#include <cmath>

#include "platform/PlistDateText.h"

namespace platform {
namespace {

constexpr std::uint64_t kHeaderSize = 8;  // "bplist00"
constexpr std::uint64_t kTrailerSize = 32;

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::optional<std::uint64_t> BinaryPlistObjects::bigEndian(std::uint64_t offset,
                                                           std::uint64_t size) const {
  if (size == 0 || size > 8 || !fits(offset, size)) return std::nullopt;
  std::uint64_t value = 0;
  for (std::uint64_t i = 0; i < size; ++i) {
    value = value << 8 | static_cast<std::uint8_t>(bytes_[offset + i]);
  }
  return value;
}

bool BinaryPlistObjects::readTrailer() {
  if (bytes_.size() < kHeaderSize + kTrailerSize) return false;
  const std::uint64_t trailer = bytes_.size() - kTrailerSize;
  const auto offsetSize = bigEndian(trailer + 6, 1);
  const auto referenceSize = bigEndian(trailer + 7, 1);
  const auto count = bigEndian(trailer + 8, 8);
  const auto top = bigEndian(trailer + 16, 8);
  const auto table = bigEndian(trailer + 24, 8);
  if (!offsetSize || !referenceSize || !count || !top || !table || *offsetSize == 0 ||
      *offsetSize > 8 || *referenceSize == 0 || *referenceSize > 8 || *table > trailer ||
      *count > (trailer - *table) / *offsetSize) {
    return false;
  }
  offsetSize_ = *offsetSize;
  referenceSize_ = *referenceSize;
  objectCount_ = *count;
  topObject_ = *top;
  tableOffset_ = *table;
  return true;
}

std::optional<BinaryPlistObjects::Header> BinaryPlistObjects::headerOf(std::uint64_t object) const {
  if (object >= objectCount_) return std::nullopt;
  const auto offset = bigEndian(tableOffset_ + object * offsetSize_, offsetSize_);
  if (!offset) return std::nullopt;
  const auto marker = bigEndian(*offset, 1);
  if (!marker) return std::nullopt;
  const auto type = static_cast<std::uint8_t>(*marker >> 4);
  const auto low = static_cast<std::uint8_t>(*marker & 0xF);
  const bool sized = type == kData || type == kAsciiString || type == kUtf16String ||
                     type == kArray || type == kOrderedSet || type == kSet || type == kDictionary;
  if (!sized || low != 0xF) return Header{type, low, low, *offset + 1};
  const auto lengthMarker = bigEndian(*offset + 1, 1);
  if (!lengthMarker || (*lengthMarker >> 4) != kInteger || (*lengthMarker & 0xF) > 3) {
    return std::nullopt;
  }
  const std::uint64_t lengthSize = std::uint64_t{1} << (*lengthMarker & 0xF);
  const auto count = bigEndian(*offset + 2, lengthSize);
  if (!count) return std::nullopt;
  return Header{type, low, *count, *offset + 2 + lengthSize};
}

std::optional<std::vector<std::uint64_t>> BinaryPlistObjects::referencesOf(const Header& header) const {
  std::uint64_t references = header.count;
  if (header.type == kDictionary) {
    if (header.count > UINT64_MAX / 2) return std::nullopt;
    references = header.count * 2;
  }
  if (header.start > bytes_.size() || references > (bytes_.size() - header.start) / referenceSize_) {
    return std::nullopt;
  }
  std::vector<std::uint64_t> children;
  children.reserve(references);
  for (std::uint64_t i = 0; i < references; ++i) {
    children.push_back(*bigEndian(header.start + i * referenceSize_, referenceSize_));
  }
  return children;
}

std::optional<PlistValue> BinaryPlistObjects::integerAt(const Header& header) const {
  if (header.low > 4) return std::nullopt;
  const std::uint64_t size = std::uint64_t{1} << header.low;
  if (size == 16) {
    const auto upper = bigEndian(header.start, 8);
    const auto lower = bigEndian(header.start + 8, 8);
    if (!upper || !lower || *upper != 0) return std::nullopt;
    return PlistValue(*lower);
  }
  const auto value = bigEndian(header.start, size);
  if (!value) return std::nullopt;
  if (size == 8) return PlistValue(static_cast<std::int64_t>(*value));
  return PlistValue(*value);
}

std::optional<double> BinaryPlistObjects::realAt(const Header& header) const {
  if (header.low == 2) {
    const auto bits = bigEndian(header.start, 4);
    if (!bits) return std::nullopt;
    return static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(*bits)));
  }
  if (header.low != 3) return std::nullopt;
  const auto bits = bigEndian(header.start, 8);
  if (!bits) return std::nullopt;
  return std::bit_cast<double>(*bits);
}

std::optional<PlistValue> BinaryPlistObjects::dateAt(const Header& header) const {
  if (header.low != 3) return std::nullopt;
  const auto bits = bigEndian(header.start, 8);
  if (!bits) return std::nullopt;
  const PlistDate date{std::bit_cast<double>(*bits)};
  if (!std::isfinite(date.secondsSince2001) || !isDateInReadableRange(date)) return std::nullopt;
  return PlistValue(date);
}

std::optional<PlistData> BinaryPlistObjects::dataAt(const Header& header) const {
  if (!fits(header.start, header.count)) return std::nullopt;
  const auto* begin = reinterpret_cast<const std::uint8_t*>(bytes_.data() + header.start);
  return PlistData(begin, begin + header.count);
}

std::optional<std::string> BinaryPlistObjects::stringAt(const Header& header) const {
  if (header.type == kAsciiString) {
    if (!fits(header.start, header.count)) return std::nullopt;
    std::string text(bytes_.substr(header.start, header.count));
    for (char c : text) {
      if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;
    }
    return text;
  }
  if (header.type != kUtf16String || header.count > UINT64_MAX / 2 ||
      !fits(header.start, header.count * 2)) {
    return std::nullopt;
  }
  std::string text;
  for (std::uint64_t i = 0; i < header.count; ++i) {
    char32_t unit = static_cast<char32_t>(*bigEndian(header.start + 2 * i, 2));
    if (unit >= 0xDC00 && unit <= 0xDFFF) return std::nullopt;  // a low surrogate first
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (++i == header.count) return std::nullopt;
      const auto low = static_cast<char32_t>(*bigEndian(header.start + 2 * i, 2));
      if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    appendUtf8(text, unit);
  }
  return text;
}

}  // namespace platform
