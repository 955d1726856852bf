#include "installer/formats/JavaPropertiesText.h"

#include "installer/formats/StringUtil.h"

namespace support::properties_text {
namespace {

bool isWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\f'; }
bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

// Splits the file into logical lines as Java does: comment and blank lines go, leading white
// space goes, and a line ending in an odd number of backslashes is joined with the next one
// (without that backslash, the line end and the next line's leading white space).
class LogicalLines {
 public:
  explicit LogicalLines(std::string_view bytes) : bytes_(bytes) {}

  // The next logical line into line; false when the file is done.
  bool next(std::string& line) {
    line.clear();
    skipWhiteSpace_ = true;
    joined_ = false;
    oddBackslashes_ = false;
    while (pos_ < bytes_.size()) {
      char c = bytes_[pos_++];
      if (skipWhiteSpace_ && skipsAtLineStart(c)) continue;
      if (line.empty() && c == '#') {
        skipComment();
      } else if (!isLineEnd(c)) {
        line += c;
        oddBackslashes_ = c == '\\' && !oddBackslashes_;
      } else if (line.empty()) {
        skipWhiteSpace_ = true;
      } else if (!oddBackslashes_ || pos_ == bytes_.size()) {
        return finish(line);
      } else {
        continueAfter(c, line);
      }
    }
    return !line.empty() && finish(line);
  }

 private:
  // White space before a line's text; also the ends of blank lines, except right after a
  // continuation, where a blank line ends the entry.
  bool skipsAtLineStart(char c) {
    if (isWhiteSpace(c) || (!joined_ && isLineEnd(c))) return true;
    skipWhiteSpace_ = false;
    joined_ = false;
    return false;
  }

  void skipComment() {
    while (pos_ < bytes_.size() && !isLineEnd(bytes_[pos_])) ++pos_;
    skipWhiteSpace_ = true;
  }

  void continueAfter(char lineEnd, std::string& line) {
    line.pop_back();
    oddBackslashes_ = false;
    skipWhiteSpace_ = true;
    joined_ = true;
    if (lineEnd == '\r' && pos_ < bytes_.size() && bytes_[pos_] == '\n') ++pos_;
  }

  // A backslash left at the very end of the file continues nothing and goes.
  bool finish(std::string& line) {
    if (oddBackslashes_) line.pop_back();
    return true;
  }

  std::string_view bytes_;
  std::size_t pos_ = 0;
  bool skipWhiteSpace_ = true;
  bool joined_ = false;
  bool oddBackslashes_ = false;
};

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The code unit of the four hexadecimal digits at the start of text, or -1.
int unicodeEscapeValue(std::string_view text) {
  if (text.size() < 4) return -1;
  int value = 0;
  for (char c : text.substr(0, 4)) {
    int digit = hexDigitValue(c);
    if (digit < 0) return -1;
    value = (value << 4) | digit;
  }
  return value;
}

char16_t unescaped(char c) {
  switch (c) {
    case 't': return u'\t';
    case 'n': return u'\n';
    case 'r': return u'\r';
    case 'f': return u'\f';
    default: return static_cast<unsigned char>(c);
  }
}

// The text of a key or value with its escapes decoded, each byte the character of its number.
std::u16string decode(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\\') {
      out.push_back(static_cast<unsigned char>(c));
    } else if (i + 1 == text.size()) {
      break;  // a lone backslash at the end escapes nothing
    } else if (text[++i] != 'u') {
      out.push_back(unescaped(text[i]));
    } else if (int unit = unicodeEscapeValue(text.substr(i + 1)); unit >= 0) {
      out.push_back(static_cast<char16_t>(unit));
      i += 4;
    } else {
      out += u"\\u";  // Java refuses the file; its text is kept instead
    }
  }
  return out;
}

// Where the key ends: at the first "=", ":" or white space that no backslash escapes.
std::size_t keyEnd(std::string_view line) {
  bool escaped = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (!escaped && (c == '=' || c == ':' || isWhiteSpace(c))) return i;
    escaped = c == '\\' && !escaped;
  }
  return line.size();
}

// Where the value starts: after white space with at most one "=" or ":" among it.
std::size_t valueStart(std::string_view line, std::size_t keyEnd) {
  bool separatorSeen = false;
  std::size_t i = keyEnd;
  for (; i < line.size(); ++i) {
    char c = line[i];
    if (isWhiteSpace(c)) continue;
    if (separatorSeen || (c != '=' && c != ':')) break;
    separatorSeen = true;
  }
  return i;
}

void readEntry(std::string_view line, Entry& entry) {
  std::size_t end = keyEnd(line);
  std::size_t start = valueStart(line, end);
  entry.key = decode(line.substr(0, end));
  entry.value = decode(line.substr(start));
  entry.separator.assign(line.substr(end, start - end));
}

enum class Position { Key, Value };

// Java drops white space before a value, so a value's leading space is escaped; spaces at its
// end are written as "\u0020", which survives readers and editors that trim lines.
void appendSpace(std::string& out, Position position, std::size_t i, std::size_t trailingStart) {
  if (position == Position::Key) {
    out += "\\ ";
  } else if (i >= trailingStart) {
    out += "\\u0020";
  } else if (i == 0) {
    out += "\\ ";
  } else {
    out += ' ';
  }
}

std::string escape(std::u16string_view text, Position position) {
  std::size_t trailingStart = text.size();
  while (trailingStart > 0 && text[trailingStart - 1] == u' ') --trailingStart;
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t unit = text[i];
    if (unit < 0x20 || unit > 0x7E) {
      out += "\\u";
      StringUtil::addHexDigitsToString(unit, out);
    } else if (unit == u'\\' || unit == u'#' || unit == u'!' || unit == u'=' || unit == u':') {
      out += '\\';
      out += static_cast<char>(unit);
    } else if (unit == u' ') {
      appendSpace(out, position, i, trailingStart);
    } else {
      out += static_cast<char>(unit);
    }
  }
  return out;
}

// The separator an option line was read with, in printable ASCII; "=" before a value that
// was set where the line had none, or the key would run on into the value.
std::string optionSeparator(std::string_view separator, std::u16string_view value) {
  if (separator.empty()) return value.empty() ? "" : "=";
  std::string out(separator);
  for (char& c : out) {
    if (c == '\f') c = ' ';
  }
  return out;
}

}  // namespace

void parse(std::string_view latin1, const std::function<void(Entry&)>& store) {
  LogicalLines lines(latin1);
  std::string line;
  Entry entry;
  while (lines.next(line)) {
    readEntry(line, entry);
    store(entry);
  }
}

bool isOptionKey(std::u16string_view key) { return key.substr(0, 2) == u"-X"; }

std::string escapeKey(std::u16string_view text) { return escape(text, Position::Key); }

std::string escapeValue(std::u16string_view text) { return escape(text, Position::Value); }

std::optional<std::string> formatLine(std::u16string_view key, std::u16string_view value,
                                      std::string_view separator) {
  if (key.empty()) return std::nullopt;
  std::string line = escapeKey(key);
  line += isOptionKey(key) ? optionSeparator(separator, value) : "=";
  line += escapeValue(value);
  line += '\n';
  return line;
}

}  // namespace support::properties_text
