#pragma once
// Class-level text helpers. Texts are UTF-8; what is defined on UTF-16 code units (escapes,
// indexes) works on UTF-16 code units.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace support::StringUtil {

// ---- Replace-all (every occurrence, searched from the end) ----
std::string stringByReplacingOccurrencesOfStringTargetWithString(const std::string& source,
                                                                 const std::string& target,
                                                                 const std::string& replacement);

// ---- Java properties escapes ----
std::string convertNSStringTo8859_1Key(const std::string& text);
std::string convertNSStringTo8859_1Value(const std::string& text);
void addHexDigitsToString(std::uint16_t codeUnit, std::string& text);
std::string convertUnicode2Characters(const std::string& text);
std::optional<std::string> charAtIndexOfString(std::int32_t index, const std::string& text);

// ---- Other text helpers ----
// The text between two double quotes; nothing inside is escaped.
std::string addQuotesToString(const std::string& text);
// The "/Volumes/<name>" folder the path lies on, else "/"; none for none. A leading "~" is
// expanded; nothing is resolved on disk.
std::optional<std::string> getVolume(const std::optional<std::string>& path);
// The pattern with its "%@" placeholders filled by the values in order; missing values are
// empty, extra values ignored.
std::string bindStringWith(const std::string& pattern, const std::vector<std::string>& args);
// The text unchanged: nothing in this system marks texts for translation.
std::string addTranslationSignToString(const std::string& text);

}  // namespace support::StringUtil
