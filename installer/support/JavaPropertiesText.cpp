#include "installer/support/JavaPropertiesText.h"

#include "installer/support/Latin1.h"
#include "installer/support/StringUtil.h"

namespace support::properties_text {
namespace {

// White space and line ends in the ISO-8859-1 range, as trimmed from both ends of a line.
bool isTrimmed(unsigned char c) {
  return c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == ' ' ||
         c == 0x85 || c == 0xA0;
}

bool isSeparator(char c) { return c == '=' || c == ':' || c == ' ' || c == '\t'; }

bool isEscapable(char c) {
  return c == ':' || c == '\\' || c == '#' || c == ' ' || c == '=' || c == '!';
}

std::string_view trim(std::string_view line) {
  while (!line.empty() && isTrimmed(static_cast<unsigned char>(line.front()))) {
    line.remove_prefix(1);
  }
  while (!line.empty() && isTrimmed(static_cast<unsigned char>(line.back()))) {
    line.remove_suffix(1);
  }
  return line;
}

// Lines of option files ("-Xmx256m", "-Xss 1m") keep their separators in the value, so that
// the key followed by the value gives the option back.
bool startsOptionLine(std::string_view line) { return line.substr(0, 2) == "-X"; }

class LineReader {
 public:
  explicit LineReader(std::vector<Entry>& entries) : entries_(entries) {}

  void readLine(std::string_view rawLine) {
    std::string_view line = trim(rawLine);
    if (!continuationPending_) startEntry();
    if (!line.empty() && line.front() == '#') return;
    if (!continuationPending_ && line.size() >= 2) optionLine_ = startsOptionLine(line);
    walk(line);
    if (!continuationPending_) {
      entries_.emplace_back(latin1::toUtf8(key_), latin1::toUtf8(value_));
    }
  }

 private:
  void startEntry() {
    key_.clear();
    value_.clear();
    separatorSeen_ = false;
  }

  void walk(std::string_view line) {
    valueStarted_ = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      char c = line[i];
      bool last = i + 1 == line.size();
      if (c == '\\' && last && i > 0 && line[i - 1] == ' ') {
        continuationPending_ = true;
      } else if (c == '\\' && !last && isEscapable(line[i + 1])) {
        // An escaped character is the character itself, never a separator: "a\=b" is the
        // key "a=b", which is how Java reads it and how our writer means it.
        appendOrdinary(line[++i]);
      } else if (isSeparator(c) && !valueStarted_) {
        separatorSeen_ = true;
        if (optionLine_) value_ += c;
      } else {
        appendOrdinary(c);
      }
    }
  }

  void appendOrdinary(char c) {
    if (!separatorSeen_) {
      key_ += c;
      return;
    }
    value_ += c;
    valueStarted_ = true;
    continuationPending_ = false;
  }

  std::vector<Entry>& entries_;
  std::string key_;
  std::string value_;
  bool continuationPending_ = false;
  bool separatorSeen_ = false;
  bool optionLine_ = false;
  bool valueStarted_ = false;
};

// An option entry is written back as the line it was read from: the key, then its separators
// as they stand, then the rest of the value. Written as "key=value", the reader would add the
// "=" to the value each time the file is rewritten.
std::string optionRemainder(const std::string& value) {
  if (value.empty()) return {};
  std::size_t separators = 0;
  while (separators < value.size() && isSeparator(value[separators])) ++separators;
  if (separators == 0) return "=" + StringUtil::convertNSStringTo8859_1Value(value);
  return value.substr(0, separators) +
         StringUtil::convertNSStringTo8859_1Value(value.substr(separators));
}

}  // namespace

std::vector<Entry> parseLines(std::string_view latin1) {
  std::vector<Entry> entries;
  LineReader reader(entries);
  while (true) {
    std::size_t end = latin1.find('\n');
    reader.readLine(latin1.substr(0, end));
    if (end == std::string_view::npos) break;
    latin1.remove_prefix(end + 1);
  }
  return entries;
}

std::optional<std::string> formatLine(const std::string& key, const std::string& value) {
  std::string escapedKey = StringUtil::convertNSStringTo8859_1Key(key);
  if (escapedKey.empty()) return std::nullopt;
  if (startsOptionLine(key)) return escapedKey + optionRemainder(value) + "\n";
  return escapedKey + "=" + StringUtil::convertNSStringTo8859_1Value(value) + "\n";
}

}  // namespace support::properties_text
