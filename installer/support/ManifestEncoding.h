#pragma once
// How a manifest's bytes are encoded, so that a save writes them back the way they came.
#include <string>
#include <string_view>

namespace support {

struct ManifestEncoding {
  enum class Charset { Utf8, Utf16Le, Utf16Be, Utf32Le, Utf32Be, Latin1, Ascii };
  Charset charset = Charset::Utf8;
  bool byteOrderMark = false;
};

// The encoding a manifest's bytes declare: a byte order mark first, else the "encoding" of the
// XML declaration (ISO-8859-1 and US-ASCII with their common aliases; anything else is read as
// UTF-8 or the UTF-16/32 form its first bytes show, which the XML parser tells apart).
ManifestEncoding declaredManifestEncoding(std::string_view bytes);

// The UTF-8 form of a manifest in a charset of one byte per character (Latin-1, ASCII). A
// character the charset cannot hold becomes a character reference: such characters only come
// in through attribute values and text (a new installer root), where a reference is valid.
// Bytes that are no valid UTF-8 pass through unchanged.
std::string encodeInSingleByteCharset(std::string_view utf8, char32_t highestCharacter);

}  // namespace support
