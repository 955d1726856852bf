#include "platform/PlistExpandedSize.h"
#include "platform/PropertyListFile.h"

namespace platform::OldStylePlistParser {
namespace {

constexpr int kMaxDepth = 512;

bool isUnquotedChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '_' || c == '$' || c == '+' || c == '/' || c == ':' || c == '.' || c == '-';
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool isHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Recursive descent over the text; every method returns none (or false) on a syntax error.
class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::optional<PlistValue> parseDocument() {
    if (!skipSpaceAndComments()) return std::nullopt;
    if (atEnd() || (peek() != '{' && peek() != '(')) return std::nullopt;
    auto root = parseValue(0);
    if (!root || !skipSpaceAndComments() || !atEnd()) return std::nullopt;
    return root;
  }

 private:
  bool atEnd() const { return pos_ >= text_.size(); }
  char peek() const { return text_[pos_]; }
  bool startsWith(std::string_view s) const { return text_.substr(pos_, s.size()) == s; }

  // False only for an unterminated block comment.
  bool skipSpaceAndComments() {
    while (!atEnd()) {
      const char c = peek();
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (startsWith("//")) {
        const auto end = text_.find('\n', pos_);
        pos_ = end == std::string_view::npos ? text_.size() : end + 1;
      } else if (startsWith("/*")) {
        const auto end = text_.find("*/", pos_ + 2);
        if (end == std::string_view::npos) return false;
        pos_ = end + 2;
      } else {
        break;
      }
    }
    return true;
  }

  bool expect(char c) {
    if (!skipSpaceAndComments() || atEnd() || peek() != c) return false;
    ++pos_;
    return true;
  }

  std::optional<PlistValue> parseValue(int depth) {
    if (depth > kMaxDepth || !skipSpaceAndComments() || atEnd()) return std::nullopt;
    switch (peek()) {
      case '{':
        if (!budget_.take(0)) return std::nullopt;
        return parseDictionary(depth);
      case '(':
        if (!budget_.take(0)) return std::nullopt;
        return parseArray(depth);
      case '<': {
        auto data = parseData();
        if (!data || !budget_.take(data->asData()->size())) return std::nullopt;
        return data;
      }
      default: {
        auto text = parseString();
        if (!text || !budget_.take(text->size())) return std::nullopt;
        return PlistValue(std::move(*text));
      }
    }
  }

  std::optional<PlistValue> parseDictionary(int depth) {
    ++pos_;  // '{'
    PlistDictionary dictionary;
    for (;;) {
      if (!skipSpaceAndComments() || atEnd()) return std::nullopt;
      if (peek() == '}') {
        ++pos_;
        return PlistValue(std::move(dictionary));
      }
      auto key = parseString();
      if (!key || !budget_.take(key->size()) || !expect('=')) return std::nullopt;
      auto value = parseValue(depth + 1);
      if (!value || !expect(';')) return std::nullopt;
      dictionary.insert_or_assign(std::move(*key), std::move(*value));
    }
  }

  std::optional<PlistValue> parseArray(int depth) {
    ++pos_;  // '('
    PlistArray array;
    for (;;) {
      if (!skipSpaceAndComments() || atEnd()) return std::nullopt;
      if (peek() == ')') {
        ++pos_;
        return PlistValue(std::move(array));
      }
      auto value = parseValue(depth + 1);
      if (!value || !skipSpaceAndComments() || atEnd()) return std::nullopt;
      array.push_back(std::move(*value));
      if (peek() == ',') {
        ++pos_;  // a comma before ')' is allowed
      } else if (peek() != ')') {
        return std::nullopt;
      }
    }
  }

  std::optional<PlistValue> parseData() {
    ++pos_;  // '<'
    PlistData data;
    int high = -1;
    while (!atEnd()) {
      const char c = text_[pos_++];
      if (c == '>') {
        if (high >= 0) return std::nullopt;  // odd number of digits
        return PlistValue(std::move(data));
      }
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
      const int digit = hexDigit(c);
      if (digit < 0) return std::nullopt;
      if (high < 0) {
        high = digit;
      } else {
        data.push_back(static_cast<std::uint8_t>(high << 4 | digit));
        high = -1;
      }
    }
    return std::nullopt;
  }

  std::optional<std::string> parseString() {
    if (!skipSpaceAndComments() || atEnd()) return std::nullopt;
    if (peek() == '"' || peek() == '\'') return parseQuoted(text_[pos_++]);
    const size_t start = pos_;
    while (!atEnd() && isUnquotedChar(peek())) ++pos_;
    if (pos_ == start) return std::nullopt;
    return std::string(text_.substr(start, pos_ - start));
  }

  std::optional<std::string> parseQuoted(char quote) {
    std::string out;
    while (!atEnd()) {
      const char c = text_[pos_++];
      if (c == quote) return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (atEnd() || !parseEscape(out)) return std::nullopt;
    }
    return std::nullopt;  // unterminated
  }

  bool parseEscape(std::string& out) {
    const char c = text_[pos_++];
    switch (c) {
      case 'n': out += '\n'; return true;
      case 't': out += '\t'; return true;
      case 'r': out += '\r'; return true;
      case 'a': out += '\a'; return true;
      case 'b': out += '\b'; return true;
      case 'f': out += '\f'; return true;
      case 'v': out += '\v'; return true;
      case 'U': return parseUnicodeEscape(out);
      default: break;
    }
    if (c >= '0' && c <= '7') {
      // Up to three octal digits: a byte value, taken as that code point.
      unsigned value = static_cast<unsigned>(c - '0');
      for (int i = 0; i < 2 && !atEnd() && peek() >= '0' && peek() <= '7'; ++i) {
        value = value * 8 + static_cast<unsigned>(text_[pos_++] - '0');
      }
      if (value > 0xFF) return false;
      appendUtf8(out, value);
      return true;
    }
    out += c;  // \\, \", \' and any other character stand for themselves
    return true;
  }

  // \U followed by one to four hex digits; a surrogate pair arrives as two escapes.
  std::optional<char32_t> readUnicodeUnit() {
    char32_t value = 0;
    int digits = 0;
    while (digits < 4 && !atEnd() && hexDigit(peek()) >= 0) {
      value = value * 16 + static_cast<char32_t>(hexDigit(text_[pos_++]));
      ++digits;
    }
    if (digits == 0) return std::nullopt;
    return value;
  }

  bool parseUnicodeEscape(std::string& out) {
    auto unit = readUnicodeUnit();
    if (!unit || isLowSurrogate(*unit)) return false;
    if (isHighSurrogate(*unit)) {
      if (!startsWith("\\U")) return false;
      pos_ += 2;
      auto low = readUnicodeUnit();
      if (!low || !isLowSurrogate(*low)) return false;
      unit = 0x10000 + ((*unit - 0xD800) << 10) + (*low - 0xDC00);
    }
    appendUtf8(out, *unit);
    return true;
  }

  std::string_view text_;
  size_t pos_ = 0;
  PlistExpandedBudget budget_;
};

}  // namespace

std::optional<PlistValue> parse(std::string_view text) { return Parser(text).parseDocument(); }

}  // namespace platform::OldStylePlistParser
