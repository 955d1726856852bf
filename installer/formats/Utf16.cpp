#include "installer/formats/Utf16.h"

namespace support::utf16 {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }
bool isHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

struct SequenceShape {
  std::size_t length;
  char32_t leadBits;
  char32_t minimum;
};

// Length, payload of the lead byte and smallest code point that needs this length.
bool shapeOf(unsigned char lead, SequenceShape& shape) {
  if (lead < 0x80) shape = {1, lead, 0};
  else if ((lead & 0xE0) == 0xC0) shape = {2, char32_t(lead & 0x1F), 0x80};
  else if ((lead & 0xF0) == 0xE0) shape = {3, char32_t(lead & 0x0F), 0x800};
  else if ((lead & 0xF8) == 0xF0) shape = {4, char32_t(lead & 0x07), 0x10000};
  else return false;
  return true;
}

}  // namespace

Utf8Step decodeUtf8At(std::string_view utf8, std::size_t pos) {
  const Utf8Step invalid{kReplacement, 1, false};
  SequenceShape shape{};
  if (!shapeOf(static_cast<unsigned char>(utf8[pos]), shape)) return invalid;
  if (pos + shape.length > utf8.size()) return invalid;
  char32_t codePoint = shape.leadBits;
  for (std::size_t i = 1; i < shape.length; ++i) {
    auto byte = static_cast<unsigned char>(utf8[pos + i]);
    if (!isContinuation(byte)) return invalid;
    codePoint = (codePoint << 6) | (byte & 0x3F);
  }
  if (codePoint < shape.minimum || codePoint > 0x10FFFF) return invalid;
  if (isHighSurrogate(codePoint) || isLowSurrogate(codePoint)) return invalid;
  return {codePoint, shape.length, true};
}

void appendUtf8(std::string& utf8, char32_t codePoint) {
  auto put = [&utf8](char32_t bits) { utf8.push_back(static_cast<char>(bits)); };
  if (codePoint < 0x80) {
    put(codePoint);
  } else if (codePoint < 0x800) {
    put(0xC0 | (codePoint >> 6));
    put(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    put(0xE0 | (codePoint >> 12));
    put(0x80 | ((codePoint >> 6) & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  } else {
    put(0xF0 | (codePoint >> 18));
    put(0x80 | ((codePoint >> 12) & 0x3F));
    put(0x80 | ((codePoint >> 6) & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  }
}

std::u16string fromUtf8(std::string_view utf8) {
  std::u16string units;
  units.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    Utf8Step step = decodeUtf8At(utf8, pos);
    pos += step.length;
    if (step.codePoint < 0x10000) {
      units.push_back(static_cast<char16_t>(step.codePoint));
    } else {
      char32_t offset = step.codePoint - 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
    }
  }
  return units;
}

std::string toUtf8(std::u16string_view units) {
  std::string utf8;
  utf8.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t unit = units[i];
    if (isHighSurrogate(unit) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
      appendUtf8(utf8, 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
      appendUtf8(utf8, kReplacement);
    } else {
      appendUtf8(utf8, unit);
    }
  }
  return utf8;
}

}  // namespace support::utf16
