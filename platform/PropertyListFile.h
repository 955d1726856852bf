#pragma once
// Reading and writing property lists.
// Reading accepts the XML and binary forms (libplist) and the older text form (our own parser,
// since libplist 2.2 does not read it). Writing produces the platform's standard XML form
// (XML declaration, the plist document type, a "plist" root element) and replaces the file
// atomically (AtomicFile.h).
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
