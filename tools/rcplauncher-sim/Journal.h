#pragma once
// The simulated launcher's journal: ".rcplauncher_journal" in the parent folder of the rcp home
// (beside ".provisioning_rc"). Every invocation appends one line, refused ones included, so
// tests can assert the exact argument lists a program passed.
//
// Line format: the number of arguments in decimal, then for each argument a TAB and the
// argument escaped, then a line feed. The program path (argv[0]) is not recorded: the journal's
// place already tells which launcher ran. Escapes: backslash as "\\", TAB as "\t", line feed as
// "\n", carriage return as "\r"; every other byte stands as it is. The count keeps an empty list
// ("0") apart from a list of one empty argument ("1" TAB). The cleanup run reads:
//   7<TAB>-provManifest<TAB>-rcpLauncherWait<TAB>-noSplash<TAB>-product<TAB>NULL<TAB>-provisioningOperation<TAB>cleanup
//
// Header-only so that any test can include it without linking anything.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rcpsim {

inline constexpr const char* kJournalName = ".rcplauncher_journal";

// Beside the journal, ".rcplauncher_saw_result" gets one line per invocation, in the same order:
// "1" when a result file ".provisioning_rc" was there as the run started, else "0". Callers
// delete the result file before a run whose result they read, so a "1" there shows a result
// they could have mistaken for that run's.
inline constexpr const char* kResultSightingsName = ".rcplauncher_saw_result";

inline std::string formatJournalLine(const std::vector<std::string>& arguments) {
  std::string line = std::to_string(arguments.size());
  for (const std::string& argument : arguments) {
    line += '\t';
    for (char c : argument) {
      switch (c) {
        case '\\': line += "\\\\"; break;
        case '\t': line += "\\t"; break;
        case '\n': line += "\\n"; break;
        case '\r': line += "\\r"; break;
        default: line += c;
      }
    }
  }
  line += '\n';
  return line;
}

namespace journal_detail {

inline std::optional<std::string> unescape(std::string_view field) {
  std::string text;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      text += field[i];
      continue;
    }
    if (++i == field.size()) return std::nullopt;
    switch (field[i]) {
      case '\\': text += '\\'; break;
      case 't': text += '\t'; break;
      case 'n': text += '\n'; break;
      case 'r': text += '\r'; break;
      default: return std::nullopt;
    }
  }
  return text;
}

inline std::vector<std::string_view> splitAtTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (size_t tab = line.find('\t'); tab != std::string_view::npos; tab = line.find('\t', start)) {
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  fields.push_back(line.substr(start));
  return fields;
}

}  // namespace journal_detail

// One line without its line feed; none when it is not a well-formed journal line.
inline std::optional<std::vector<std::string>> parseJournalLine(std::string_view line) {
  std::vector<std::string_view> fields = journal_detail::splitAtTabs(line);
  size_t count = 0;
  std::string_view countText = fields.front();
  auto [end, error] = std::from_chars(countText.data(), countText.data() + countText.size(), count);
  if (error != std::errc() || end != countText.data() + countText.size() || countText.empty() ||
      count != fields.size() - 1) {
    return std::nullopt;
  }
  std::vector<std::string> arguments;
  for (size_t i = 1; i < fields.size(); ++i) {
    std::optional<std::string> argument = journal_detail::unescape(fields[i]);
    if (!argument) return std::nullopt;
    arguments.push_back(std::move(*argument));
  }
  return arguments;
}

// Every invocation recorded in the journal file, oldest first. A missing file is an empty
// journal; none when the file cannot be read or holds a malformed line.
inline std::optional<std::vector<std::vector<std::string>>> readJournal(const std::string& path) {
  std::vector<std::vector<std::string>> invocations;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? std::optional(invocations) : std::nullopt;
  std::string text;
  char buffer[4096];
  ssize_t count = 0;
  while ((count = ::read(fd, buffer, sizeof buffer)) > 0 || (count < 0 && errno == EINTR)) {
    if (count > 0) text.append(buffer, static_cast<size_t>(count));
  }
  ::close(fd);
  if (count < 0 || (!text.empty() && text.back() != '\n')) return std::nullopt;
  size_t start = 0;
  for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
    std::optional<std::vector<std::string>> arguments =
        parseJournalLine(std::string_view(text).substr(start, end - start));
    if (!arguments) return std::nullopt;
    invocations.push_back(std::move(*arguments));
    start = end + 1;
  }
  return invocations;
}

}  // namespace rcpsim
