#pragma once
// Splits a command line into an argument vector the way a POSIX shell splits words, without a
// shell: blanks separate words; single quotes keep everything up to the next single quote;
// double quotes keep everything up to the next double quote, a backslash there escaping only
// '"', '\\', '$' and '`'; elsewhere a backslash keeps the next character. Nothing is expanded
// or interpreted: "$HOME", "*", ";", "|", ">" and the like are plain text of a word.
#include <optional>
#include <string>
#include <vector>

namespace support {

// None when a quote is not closed or the line ends in a backslash.
std::optional<std::vector<std::string>> splitCommandLine(const std::string& line);

// The program a command's first word names: a word with a "/" as it stands, otherwise the
// first executable file of that name in the folders of PATH; none when there is none.
std::optional<std::string> programOfCommandWord(const std::string& word);

}  // namespace support
