// Any bytes as a properties file: the reader must not fail, the writer must give plain ASCII,
// and rewriting a file that was written must settle: after one more round the lines stay the
// same. (One round may merge lines: in memory a character and its "\uXXXX" escape stand for
// the same thing, and both are written as the escape.)
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "installer/support/JavaPropertiesText.h"
#include "installer/support/StringUtil.h"

namespace {

using Dictionary = std::map<std::string, std::string>;
namespace properties_text = support::properties_text;

Dictionary read(std::string_view bytes) {
  Dictionary dictionary;
  for (auto& [key, value] : properties_text::parseLines(bytes)) {
    dictionary.insert_or_assign(std::move(key), std::move(value));
  }
  return dictionary;
}

std::string write(const Dictionary& dictionary) {
  std::string text;
  for (const auto& [key, value] : dictionary) {
    if (auto line = properties_text::formatLine(key, value)) text += *line;
  }
  return text;
}

// The lines of a written file; their order follows the keys in memory, which change form
// (a character becomes its escape) when the file is read back.
std::multiset<std::string> linesOf(std::string_view text) {
  std::multiset<std::string> lines;
  for (std::size_t end; (end = text.find('\n')) != std::string_view::npos;) {
    lines.emplace(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  return lines;
}

bool isPlainAscii(std::string_view text) {
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte > 0x7E || (byte < 0x20 && c != '\n' && c != '\t')) return false;
  }
  return true;
}

void exerciseDecoders(const std::string& text) {
  std::string decoded = support::StringUtil::convertUnicode2Characters(text);
  support::StringUtil::charAtIndexOfString(static_cast<std::int32_t>(text.size() / 2), decoded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Dictionary dictionary = read(bytes);
  std::string written = write(dictionary);
  if (!isPlainAscii(written)) std::abort();
  std::string rewritten = write(read(written));
  std::multiset<std::string> settled = linesOf(rewritten);
  if (linesOf(write(read(rewritten))) != settled) std::abort();
  std::multiset<std::string> first = linesOf(written);
  if (!std::includes(first.begin(), first.end(), settled.begin(), settled.end())) {
    std::abort();  // a rewrite makes nothing up
  }
  for (const auto& [key, value] : dictionary) {
    exerciseDecoders(key);
    exerciseDecoders(value);
  }
  // Texts set by callers are UTF-8 of any kind, valid or not.
  std::string text(bytes);
  if (!isPlainAscii(support::StringUtil::convertNSStringTo8859_1Key(text) +
                    support::StringUtil::convertNSStringTo8859_1Value(text))) {
    std::abort();
  }
  return 0;
}
