// The escapes of Java properties files, counted in UTF-16 code units as Java counts them.
// The escaping itself is the properties writer's; a backslash is always doubled, because the
// reader decodes every escape.
#include <string_view>

#include "installer/formats/JavaPropertiesText.h"
#include "installer/formats/StringUtil.h"
#include "installer/formats/Utf16.h"

namespace support::StringUtil {
namespace {

bool isHexDigit(char16_t unit) {
  return (unit >= u'0' && unit <= u'9') || (unit >= u'a' && unit <= u'f') ||
         (unit >= u'A' && unit <= u'F');
}

unsigned hexValue(char16_t unit) {
  if (unit <= u'9') return unit - u'0';
  if (unit <= u'F') return unit - u'A' + 10;
  return unit - u'a' + 10;
}

}  // namespace

std::string convertNSStringTo8859_1Key(const std::string& text) {
  return properties_text::escapeKey(utf16::fromUtf8(text));
}

std::string convertNSStringTo8859_1Value(const std::string& text) {
  return properties_text::escapeValue(utf16::fromUtf8(text));
}

void addHexDigitsToString(std::uint16_t codeUnit, std::string& text) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (int shift = 12; shift >= 0; shift -= 4) text += kDigits[(codeUnit >> shift) & 0xF];
}

std::string convertUnicode2Characters(const std::string& text) {
  std::u16string units = utf16::fromUtf8(text);
  std::u16string decoded;
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (units[i] == u'\\' && i + 5 < units.size() && units[i + 1] == u'u') {
      unsigned value = 0;
      // A non-digit among the four is passed over without shifting what was read so far.
      for (std::size_t digit = i + 2; digit < i + 6; ++digit) {
        if (isHexDigit(units[digit])) value = (value << 4) | hexValue(units[digit]);
      }
      decoded.push_back(static_cast<char16_t>(value));
      i += 5;
    } else {
      decoded.push_back(units[i]);
    }
  }
  return utf16::toUtf8(decoded);
}

std::optional<std::string> charAtIndexOfString(std::int32_t index, const std::string& text) {
  if (index < 0) return std::nullopt;
  std::u16string units = utf16::fromUtf8(text);
  if (static_cast<std::size_t>(index) >= units.size()) return std::nullopt;
  // Half of a surrogate pair has no UTF-8 form of its own: it comes back as U+FFFD.
  return utf16::toUtf8(std::u16string_view(&units[static_cast<std::size_t>(index)], 1));
}

}  // namespace support::StringUtil
