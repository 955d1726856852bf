#pragma once
// The text form of a Java properties file, apart from any file: the tolerant line reader and
// the line writer that JavaProperties uses (and the fuzz target drives from memory).
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace support::properties_text {

using Entry = std::pair<std::string, std::string>;  // key, value; UTF-8

// Reads the bytes of an ISO-8859-1 file into entries in file order (a later equal key wins
// when they are stored). Keys and values keep "\uXXXX" escapes as written.
std::vector<Entry> parseLines(std::string_view latin1);

// The line "key=value\n" in plain ASCII, or none when the key escapes to nothing.
std::optional<std::string> formatLine(const std::string& key, const std::string& value);

}  // namespace support::properties_text
