#include "platform/SystemLog.h"

#include <errno.h>
#include <syslog.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DescriptorBytes.h"

namespace platform::SystemLog {
namespace {

struct LogState {
  std::mutex mutex;
  std::string programName = program_invocation_short_name;
  bool syslogOpen = false;
  std::vector<int> files;
};

LogState& state() {
  // Never destroyed, so that messages from static destructors still find it.
  static LogState* s = new LogState;
  return *s;
}

// syslog priorities are 0-7; anything else would leak into the facility bits.
int clampLevel(int level) { return std::clamp(level, LOG_EMERG, LOG_DEBUG); }

const char* levelName(int level) {
  static const char* const kNames[] = {"Emergency", "Alert",  "Critical", "Error",
                                       "Warning",   "Notice", "Info",     "Debug"};
  return kNames[clampLevel(level)];
}

__attribute__((format(printf, 1, 0))) std::string formatMessage(const char* format,
                                                               va_list args) {
  va_list measure;
  va_copy(measure, args);
  int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<size_t>(length));
  return text;
}

// A control character as two or four printable characters (see SystemLog.h).
void appendEscaped(std::string& out, unsigned char c) {
  static const char kHex[] = "0123456789abcdef";
  switch (c) {
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default:
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xf];
  }
}

// The text with every C0 control character and DEL escaped, so that no value can end the line
// early, start a forged one or steer a terminal; one newline ending the message is the line's.
std::string escapedText(std::string_view text) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) {
      appendEscaped(out, c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string currentTime() {
  time_t now = ::time(nullptr);
  struct tm local {};
  char buffer[64];
  if (::localtime_r(&now, &local) == nullptr ||
      std::strftime(buffer, sizeof buffer, "%a %b %e %H:%M:%S %Y", &local) == 0) {
    return "-";
  }
  return buffer;
}

std::string hostName() {
  char buffer[256] = {};
  if (::gethostname(buffer, sizeof buffer - 1) != 0) return "localhost";
  return buffer;
}

std::string fileLine(const std::string& program, int level, const std::string& text) {
  return currentTime() + " " + hostName() + " " + program + "[" + std::to_string(::getpid()) +
         "] <" + levelName(level) + ">: " + text + "\n";
}

// Only while syslog is closed.
void openSyslogLocked(LogState& s) {
  // openlog keeps the pointer: programName lives as long as the process and is only
  // reassigned after closelog.
  ::openlog(s.programName.c_str(), LOG_PID, LOG_USER);
  s.syslogOpen = true;
}

}  // namespace

void setProgramName(const char* name) {
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  if (s.syslogOpen) ::closelog();
  s.programName = name != nullptr ? name : "";
  openSyslogLocked(s);
}

void attachFile(int fd) {
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  if (std::find(s.files.begin(), s.files.end(), fd) == s.files.end()) s.files.push_back(fd);
}

void detachFile(int fd) {
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  s.files.erase(std::remove(s.files.begin(), s.files.end(), fd), s.files.end());
}

void logv(int level, const char* format, va_list args) {
  if (format == nullptr) return;
  const std::string text = escapedText(formatMessage(format, args));
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  if (!s.syslogOpen) openSyslogLocked(s);
  ::syslog(clampLevel(level), "%s", text.c_str());
  if (s.files.empty()) return;
  const std::string line = fileLine(s.programName, level, text);
  // One write(2) per line keeps lines of several writers whole.
  for (int fd : s.files) writeWhole(fd, line);
}

void log(int level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  logv(level, format, args);
  va_end(args);
}

}  // namespace platform::SystemLog
