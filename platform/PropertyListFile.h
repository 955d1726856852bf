#pragma once
// Reading and writing property lists.
// Reading accepts the XML form (libxml2, XmlPlistReader.h), the binary form (libplist, guarded:
// PlistHandle.h, LibplistInputCheck.h) and the older text form (our own parser, since libplist
// 2.2 does not read it). Writing produces the platform's standard XML form (XmlPlistWriter.h)
// and replaces the file atomically (AtomicFile.h).
//
// Every value read is the value other property-list readers see, or the file is refused; every
// value written reads back unchanged, or nothing is written:
//   - "bplist00" starts the binary form; text starting with "<" (after an optional byte order
//     mark and white space) is XML; anything else is the older text form.
//   - Integers cover -2^63 .. 2^64-1; dates the years 1 to 9999, written to the whole second
//     (a date with a fraction of a second is not written); reals keep every bit (-0.0, NaN).
//   - Texts and keys keep every character, NUL included when read from the binary form; the XML
//     form carries only valid UTF-8 of characters XML allows (no NUL, no control characters
//     other than tab, line feed and carriage return).
//   - Nesting deeper than 512 levels is refused both ways (see LibplistInputCheck.h).
//   - A document larger than 16 MiB once every shared object is counted where it is used
//     (each value 64 bytes plus its text or data) is refused in every form (PlistExpandedSize.h).
//   A value outside these limits is not written at all: toXml gives an empty text and write()
//   gives std::errc::invalid_argument, leaving the file untouched.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/PlistValue.h"

namespace platform {

namespace PropertyListFile {

// Larger files are no property list this system reads.
inline constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;

// Whether read() goes through a symbolic link at the path.
enum class Links {
  // The path itself must be a regular file of one link: a link planted in a folder an ordinary
  // user can write must not make a root program read a file it points at.
  Refuse,
  // The same, and no link anywhere on the path either: the records of an instance, which root
  // reads in folders the instance's owner may swap for a link.
  RefuseOnThePath,
  // A program running as the user reading the user's own files (the Mac file-association
  // library) opens through links as any program of the user would.
  Follow,
};

// Parses bytes in any of the three forms; none when they are no property list.
std::optional<PlistValue> parse(std::string_view bytes);

// Reads and parses a file; none when it cannot be read, is no regular file, is larger than
// kMaxFileBytes, is (or lies below) a link or has more than one link (Links::Refuse*), or is no
// property list.
std::optional<PlistValue> read(const std::string& path, Links links = Links::RefuseOnThePath);

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
