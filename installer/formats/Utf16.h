#pragma once
// UTF-8 <-> UTF-16 code units. Texts live as UTF-8; the properties escapes and the index
// helpers count UTF-16 code units, as the Java side of the files does.
#include <cstddef>
#include <string>
#include <string_view>

namespace support::utf16 {

// One step of a UTF-8 decoder. An invalid or cut-short sequence is one byte long with
// valid == false; overlong forms, surrogates and values above U+10FFFF are invalid.
struct Utf8Step {
  char32_t codePoint;
  std::size_t length;
  bool valid;
};
Utf8Step decodeUtf8At(std::string_view utf8, std::size_t pos);

void appendUtf8(std::string& utf8, char32_t codePoint);

// Each invalid byte becomes U+FFFD.
std::u16string fromUtf8(std::string_view utf8);
// An unpaired surrogate has no UTF-8 form and becomes U+FFFD.
std::string toUtf8(std::u16string_view units);

}  // namespace support::utf16
