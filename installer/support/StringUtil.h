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
std::string addQuotesToString(const std::string& text);
std::optional<std::string> getVolume(const std::optional<std::string>& path);
std::string bindStringWith(const std::string& pattern, const std::vector<std::string>& args);
std::string addTranslationSignToString(const std::string& text);

}  // namespace support::StringUtil
