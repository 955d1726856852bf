#pragma once
// The text form of a Java properties file, apart from any file: the reader and the line writer
// that JavaProperties uses (and the fuzz target drives from memory).
//
// The reader follows java.util.Properties.load, because the launcher and the platform read
// these files with it and the installer rewrites them whole: lines end at LF, CR or CR LF; an
// odd number of backslashes at a line's end continues the entry on the next line; space, tab
// and form feed are white space; every escape is decoded ("\t", "\n", "\r", "\f", "\uXXXX",
// and a backslash before any other character gives that character). Two differences stay:
//   - a line beginning with "!" is a setting (its key begins with "!"), not a comment;
//   - a "\u" escape without four hexadecimal digits, which Java refuses with the whole file,
//     is kept as its text.
// Texts are held as UTF-16 code units, as Java holds them, so that even a lone surrogate
// written as an escape survives a rewrite.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace support::properties_text {

struct Entry {
  std::u16string key;
  std::u16string value;
  // The white space and the "=" or ":" between key and value on the line, as read.
  std::string separator;
};

// Reads the bytes of an ISO-8859-1 file and hands each entry to store in file order (a later
// equal key wins when they are stored). Memory beyond the entries is one logical line.
void parse(std::string_view latin1, const std::function<void(Entry&)>& store);

// Lines of option files ("-Xmx256m", "-Xss 1m") are written back with their own separator.
bool isOptionKey(std::u16string_view key);

// The text escaped for the key or the value position of a line, in plain ASCII.
std::string escapeKey(std::u16string_view text);
std::string escapeValue(std::u16string_view text);

// The line "key=value\n" in plain ASCII, or none when the key is empty. An option key is
// followed by the separator it was read with (none when it had none and the value is empty).
std::optional<std::string> formatLine(std::u16string_view key, std::u16string_view value,
                                      std::string_view separator = {});

}  // namespace support::properties_text
