#include "installer/support/CommandLineWords.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace support {

namespace {

constexpr std::string_view kBlanks = " \t\n";
constexpr std::string_view kEscapedInDoubleQuotes = "\"\\$`";
constexpr const char* kDefaultSearchPath = "/usr/bin:/bin";

bool isBlank(char c) { return kBlanks.find(c) != std::string_view::npos; }

class WordSplitter {
 public:
  explicit WordSplitter(const std::string& line) : line_(line) {}

  std::optional<std::vector<std::string>> split() {
    while (pos_ < line_.size()) {
      char c = line_[pos_++];
      bool ok = true;
      if (isBlank(c)) {
        endWord();
      } else if (c == '\'') {
        ok = takeSingleQuoted();
      } else if (c == '"') {
        ok = takeDoubleQuoted();
      } else if (c == '\\') {
        ok = takeEscaped();
      } else {
        append(c);
      }
      if (!ok) return std::nullopt;
    }
    endWord();
    return std::move(words_);
  }

 private:
  void append(char c) {
    word_.push_back(c);
    inWord_ = true;
  }
  void endWord() {
    if (inWord_) words_.push_back(std::move(word_));
    word_.clear();
    inWord_ = false;
  }
  bool takeSingleQuoted() {
    std::size_t end = line_.find('\'', pos_);
    if (end == std::string::npos) return false;
    word_.append(line_, pos_, end - pos_);
    inWord_ = true;  // '' is an empty word
    pos_ = end + 1;
    return true;
  }
  bool takeDoubleQuoted() {
    inWord_ = true;
    while (pos_ < line_.size()) {
      char c = line_[pos_++];
      if (c == '"') return true;
      if (c == '\\' && pos_ < line_.size() && kEscapedInDoubleQuotes.find(line_[pos_]) != std::string_view::npos) {
        c = line_[pos_++];
      }
      word_.push_back(c);
    }
    return false;
  }
  bool takeEscaped() {
    if (pos_ >= line_.size()) return false;
    char c = line_[pos_++];
    if (c == '\n') return true;  // a line continuation joins the two lines
    append(c);
    return true;
  }

  const std::string& line_;
  std::size_t pos_ = 0;
  std::vector<std::string> words_;
  std::string word_;
  bool inWord_ = false;
};

bool isExecutableFile(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::optional<std::vector<std::string>> splitCommandLine(const std::string& line) {
  return WordSplitter(line).split();
}

std::optional<std::string> programOfCommandWord(const std::string& word) {
  if (word.empty()) return std::nullopt;
  if (word.find('/') != std::string::npos) return word;
  const char* searchPath = std::getenv("PATH");
  std::string_view folders = searchPath != nullptr ? searchPath : kDefaultSearchPath;
  while (true) {
    std::size_t colon = folders.find(':');
    std::string_view folder = folders.substr(0, colon);
    // An empty entry means the working folder, as in the shell.
    std::string candidate = (folder.empty() ? std::string(".") : std::string(folder)) + "/" + word;
    if (isExecutableFile(candidate)) return candidate;
    if (colon == std::string_view::npos) return std::nullopt;
    folders.remove_prefix(colon + 1);
  }
}

}  // namespace support
