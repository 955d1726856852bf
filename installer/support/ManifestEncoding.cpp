#include "installer/support/ManifestEncoding.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <optional>

#include "installer/support/Utf16.h"

namespace support {
namespace {

bool startsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

std::optional<ManifestEncoding> byteOrderMarkEncoding(std::string_view bytes) {
  using Charset = ManifestEncoding::Charset;
  // Four-byte marks first: the UTF-32LE mark begins with the UTF-16LE one.
  if (startsWith(bytes, std::string_view("\xFF\xFE\0\0", 4))) return {{Charset::Utf32Le, true}};
  if (startsWith(bytes, std::string_view("\0\0\xFE\xFF", 4))) return {{Charset::Utf32Be, true}};
  if (startsWith(bytes, "\xEF\xBB\xBF")) return {{Charset::Utf8, true}};
  if (startsWith(bytes, "\xFF\xFE")) return {{Charset::Utf16Le, true}};
  if (startsWith(bytes, "\xFE\xFF")) return {{Charset::Utf16Be, true}};
  return std::nullopt;
}

// The "encoding" value of an ASCII-compatible XML declaration at the very start.
std::optional<std::string> declaredEncodingName(std::string_view bytes) {
  if (!startsWith(bytes, "<?xml")) return std::nullopt;
  std::string_view declaration = bytes.substr(0, bytes.find("?>"));
  std::size_t name = declaration.find("encoding");
  if (name == std::string_view::npos) return std::nullopt;
  std::size_t quote = declaration.find_first_of("\"'", name);
  if (quote == std::string_view::npos) return std::nullopt;
  std::size_t end = declaration.find(declaration[quote], quote + 1);
  if (end == std::string_view::npos) return std::nullopt;
  std::string value(declaration.substr(quote + 1, end - quote - 1));
  std::transform(value.begin(), value.end(), value.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return value;
}

bool isLatin1Name(const std::string& name) {
  static constexpr std::array<std::string_view, 10> kNames = {
      "iso-8859-1", "iso_8859-1", "iso_8859-1:1987", "iso8859-1", "latin1",
      "latin-1",    "l1",         "ibm819",          "cp819",     "csisolatin1"};
  return std::find(kNames.begin(), kNames.end(), name) != kNames.end();
}

bool isAsciiName(const std::string& name) { return name == "us-ascii" || name == "ascii"; }

bool isAllAscii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [](char byte) { return static_cast<unsigned char>(byte) < 0x80; });
}

void appendCharacterReference(std::string& out, char32_t codePoint) {
  char reference[16];
  std::snprintf(reference, sizeof reference, "&#x%X;", static_cast<unsigned>(codePoint));
  out += reference;
}

}  // namespace

ManifestEncoding declaredManifestEncoding(std::string_view bytes) {
  if (std::optional<ManifestEncoding> marked = byteOrderMarkEncoding(bytes)) return *marked;
  std::optional<std::string> name = declaredEncodingName(bytes);
  if (name && isLatin1Name(*name)) return {ManifestEncoding::Charset::Latin1, false};
  // A manifest that calls itself ASCII but holds other bytes is kept byte for byte as UTF-8:
  // turning its characters into references would be wrong inside names and comments.
  if (name && isAsciiName(*name) && isAllAscii(bytes)) {
    return {ManifestEncoding::Charset::Ascii, false};
  }
  return {};
}

std::string encodeInSingleByteCharset(std::string_view utf8, char32_t highestCharacter) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    utf16::Utf8Step step = utf16::decodeUtf8At(utf8, pos);
    if (!step.valid) {
      out += utf8[pos];
    } else if (step.codePoint <= highestCharacter) {
      out += static_cast<char>(step.codePoint);
    } else {
      appendCharacterReference(out, step.codePoint);
    }
    pos += step.length;
  }
  return out;
}

}  // namespace support
