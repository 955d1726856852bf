// The escapes of Java properties files, counted in UTF-16 code units as Java counts them.
//
// In memory a key or value keeps the "\uXXXX" escapes of the file it was read from (the reader
// does not decode them), so the writers put such an escape back as it stands; every other
// backslash is the character itself and is doubled, or Java would take it for an escape.
#include <string_view>

#include "installer/support/StringUtil.h"
#include "installer/support/Utf16.h"

namespace support::StringUtil {
namespace {

enum class Position { Key, Value };

bool isHexDigit(char16_t unit) {
  return (unit >= u'0' && unit <= u'9') || (unit >= u'a' && unit <= u'f') ||
         (unit >= u'A' && unit <= u'F');
}

unsigned hexValue(char16_t unit) {
  if (unit <= u'9') return unit - u'0';
  if (unit <= u'F') return unit - u'A' + 10;
  return unit - u'a' + 10;
}

// A backslash, "u" and four hexadecimal digits: an escape kept from a file.
bool isKeptEscapeAt(std::u16string_view units, std::size_t i) {
  if (i + 5 >= units.size() || units[i + 1] != u'u') return false;
  for (std::size_t digit = i + 2; digit < i + 6; ++digit) {
    if (!isHexDigit(units[digit])) return false;
  }
  return true;
}

// Index of the first space of the run of spaces that ends the text (size when none).
std::size_t trailingSpacesStart(std::u16string_view units) {
  std::size_t start = units.size();
  while (start > 0 && units[start - 1] == u' ') --start;
  return start;
}

// Java drops white space before a value and our reader trims both ends of a line, so a value's
// spaces at the end are written as "\u0020" and a leading one as "\ "; inside they stay plain.
void appendSpace(std::string& out, Position position, std::size_t i,
                 std::size_t trailingStart) {
  if (position == Position::Key) {
    out += "\\ ";
  } else if (i >= trailingStart) {
    out += "\\u";
    addHexDigitsToString(u' ', out);
  } else if (i == 0) {
    out += "\\ ";
  } else {
    out += ' ';
  }
}

std::string escapeForFile(const std::string& text, Position position) {
  std::u16string units = utf16::fromUtf8(text);
  std::size_t trailingStart = trailingSpacesStart(units);
  std::string out;
  out.reserve(units.size() + units.size() / 2);
  for (std::size_t i = 0; i < units.size(); ++i) {
    char16_t unit = units[i];
    if (unit == u'\\') {
      out += isKeptEscapeAt(units, i) ? "\\" : "\\\\";
    } else if (unit < 0x20 || unit > 0x7E) {
      out += "\\u";
      addHexDigitsToString(unit, out);
    } else if (unit == u'#' || unit == u'!' || unit == u'=' || unit == u':') {
      out += '\\';
      out += static_cast<char>(unit);
    } else if (unit == u' ') {
      appendSpace(out, position, i, trailingStart);
    } else {
      out += static_cast<char>(unit);
    }
  }
  return out;
}

}  // namespace

std::string convertNSStringTo8859_1Key(const std::string& text) {
  return escapeForFile(text, Position::Key);
}

std::string convertNSStringTo8859_1Value(const std::string& text) {
  return escapeForFile(text, Position::Value);
}

void addHexDigitsToString(std::uint16_t codeUnit, std::string& text) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (int shift = 12; shift >= 0; shift -= 4) text += kDigits[(codeUnit >> shift) & 0xF];
}

std::string convertUnicode2Characters(const std::string& text) {
  std::u16string units = utf16::fromUtf8(text);
  std::u16string decoded;
  decoded.reserve(units.size());
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
