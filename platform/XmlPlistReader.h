#pragma once
// Reading the XML form of a property list through libxml2, the conforming XML parser the
// manifests use too: encodings (UTF-8, UTF-16 with its byte order mark, ISO-8859-1, US-ASCII),
// line ends (CR and CRLF read as LF, "&#13;" as CR), character references, CDATA, comments and
// processing instructions, also after the root element, are XML's. On top of it the eleven
// elements of a property list ("plist", "dict", "key", "array", "string", "integer", "real",
// "true", "false", "date", "data") are mapped to PlistValue.
//
// None, rather than a guess, for: a document that is not well-formed (cut off, text after the
// root element), entity declarations, an element or text a property list does not hold, an
// integer outside -2^63 .. 2^64-1 or not written as decimal digits or "0x" and hex digits, a
// real that is no decimal number, "inf" or "nan", a date not in the form
// "YYYY-MM-DDTHH:MM:SSZ" (or its shorter forms) of a real day, base64 data with other
// characters than the alphabet and white space, a key without a value or a value without a key,
// nesting deeper than libxml2's limit (256 elements below the root), a document larger than
// kMaxPlistExpandedSize (PlistExpandedSize.h; the XML form shares nothing, so it is measured
// as it is read).
#include <optional>
#include <string_view>

#include "platform/PlistValue.h"

namespace platform {

std::optional<PlistValue> parseXmlPlist(std::string_view bytes);

}  // namespace platform
