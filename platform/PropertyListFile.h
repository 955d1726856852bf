#pragma once
// Reading and writing property lists.
// Reading accepts the XML and binary forms (libplist) and the older text form (our own parser,
// since libplist 2.2 does not read it). Writing produces the platform's standard XML form
// (XML declaration, the plist document type, a "plist" root element, one tab per level,
// dictionary keys sorted) and replaces the file atomically (AtomicFile.h).
//
// What the forms carry:
//   - "bplist00" starts the binary form; text starting with "<" (after an optional UTF-8 byte
//     order mark and white space) is XML; anything else is the older text form.
//   - An XML document must end with "</plist>": libplist 2.2 would accept one cut off after
//     its root value. Otherwise libplist's leniency stays (an unparsable <integer> reads as 0).
//   - Dates are written to the whole second (rounded down), in UTC, and only within the
//     32-bit second count libplist 2.2 keeps (about 1933 to 2069).
//   - Texts and keys must be valid UTF-8 of characters XML allows (no NUL, no control
//     characters other than tab, newline and carriage return).
//   - Nesting deeper than 512 levels is refused both ways (see LibplistInputCheck.h).
//   A value outside these limits is not written at all: toXml gives an empty text and write()
//   gives std::errc::invalid_argument, leaving the file untouched.
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/PlistValue.h"

namespace platform {

namespace PropertyListFile {

// Parses bytes in any of the three forms; none when they are no property list.
std::optional<PlistValue> parse(std::string_view bytes);

// Reads and parses a file; none when it cannot be read or is no property list.
std::optional<PlistValue> read(const std::string& path);

// The value in the XML form.
std::string toXml(const PlistValue& value);

// Writes the value in the XML form through the atomic replacement.
std::error_code write(const std::string& path, const PlistValue& value);

}  // namespace PropertyListFile

// Parser of the older text form ("{ key = value; list = (a, b); data = <0fbd>; }"), used by
// PropertyListFile::parse. Quoted and unquoted strings, escapes (\n, \t, \\, \", \U1234, octal),
// comments, arrays, dictionaries and data. None on any syntax error.
namespace OldStylePlistParser {
std::optional<PlistValue> parse(std::string_view text);
}

}  // namespace platform
