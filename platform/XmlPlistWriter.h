#pragma once
// The platform's standard XML form of a property list: XML declaration, the plist document
// type, a "plist" root element, one tab per level, dictionary keys sorted, data in base64 lines
// of 68 characters. Texts are escaped so that every character reads back as written (a carriage
// return as "&#13;", which XML would otherwise read as a line feed).
#include <optional>
#include <string>

#include "platform/PlistValue.h"

namespace platform {

// None when the value holds something the XML form cannot carry: a text or key that is no
// valid UTF-8 or holds a character XML forbids (NUL, most control characters, U+FFFE, U+FFFF,
// an encoded surrogate), a date with a fraction of a second or outside the years 1 to 9999,
// or nesting deeper than kMaxPlistNesting.
std::optional<std::string> toXmlPlist(const PlistValue& value);

}  // namespace platform
