#include "fileassociation/mac/JavaString.h"

#include <cstdint>
#include <vector>

namespace macassoc {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void appendUtf8(std::string& out, char32_t code) {
  auto byte = [&](std::uint32_t b) { out += static_cast<char>(b); };
  if (code < 0x80) {
    byte(code);
  } else if (code < 0x800) {
    byte(0xC0 | (code >> 6));
    byte(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    byte(0xE0 | (code >> 12));
    byte(0x80 | ((code >> 6) & 0x3F));
    byte(0x80 | (code & 0x3F));
  } else {
    byte(0xF0 | (code >> 18));
    byte(0x80 | ((code >> 12) & 0x3F));
    byte(0x80 | ((code >> 6) & 0x3F));
    byte(0x80 | (code & 0x3F));
  }
}

std::string utf8FromUtf16(const std::vector<char16_t>& units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    char16_t unit = units[i];
    if (isHighSurrogate(unit) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
      char32_t code = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                      (static_cast<char32_t>(units[i + 1]) - 0xDC00);
      appendUtf8(out, code);
      ++i;
    } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
      appendUtf8(out, kReplacementCharacter);
    } else {
      appendUtf8(out, unit);
    }
  }
  return out;
}

}  // namespace

std::optional<std::string> utf8FromJava(JNIEnv* env, jstring text) {
  if (text == nullptr) return std::nullopt;
  jsize length = env->GetStringLength(text);
  std::vector<char16_t> units(static_cast<std::size_t>(length));
  static_assert(sizeof(jchar) == sizeof(char16_t));
  if (length > 0) {
    env->GetStringRegion(text, 0, length, reinterpret_cast<jchar*>(units.data()));
  }
  if (env->ExceptionCheck()) return std::nullopt;
  return utf8FromUtf16(units);
}

}  // namespace macassoc
