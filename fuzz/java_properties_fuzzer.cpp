// Any bytes as a properties file: the reader must not fail, the writer must give plain ASCII,
// and what was written must read back as the very same entries (all but the empty key, which
// is never written), so that writing it again gives the same text.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

#include "installer/formats/JavaPropertiesText.h"
#include "installer/formats/StringUtil.h"

namespace {

namespace properties_text = support::properties_text;

struct Stored {
  std::u16string value;
  std::string separator;
  bool operator==(const Stored&) const = default;
};
using Dictionary = std::map<std::u16string, Stored>;

Dictionary read(std::string_view bytes) {
  Dictionary dictionary;
  properties_text::parse(bytes, [&dictionary](properties_text::Entry& entry) {
    dictionary.insert_or_assign(entry.key, Stored{entry.value, entry.separator});
  });
  return dictionary;
}

std::string write(const Dictionary& dictionary) {
  std::string text;
  for (const auto& [key, stored] : dictionary) {
    if (auto line = properties_text::formatLine(key, stored.value, stored.separator)) {
      text += *line;
    }
  }
  return text;
}

bool sameValues(Dictionary expected, const Dictionary& actual) {
  expected.erase(u"");
  if (expected.size() != actual.size()) return false;
  for (const auto& [key, stored] : expected) {
    auto found = actual.find(key);
    if (found == actual.end() || found->second.value != stored.value) return false;
  }
  return true;
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
  Dictionary reread = read(written);
  if (!sameValues(dictionary, reread)) std::abort();  // a rewrite changes no entry
  if (write(reread) != written) std::abort();
  // Texts set by callers are UTF-8 of any kind, valid or not.
  std::string text(bytes);
  exerciseDecoders(text);
  if (!isPlainAscii(support::StringUtil::convertNSStringTo8859_1Key(text) +
                    support::StringUtil::convertNSStringTo8859_1Value(text))) {
    std::abort();
  }
  return 0;
}
