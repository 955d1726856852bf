#include "DiagnosticLog.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

#include "VondraRegConstants.h"
#include "WinResource.h"

namespace vondra {
namespace {

std::string formatText(const char* format, va_list arguments) {
  va_list measuring;
  va_copy(measuring, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, measuring);
  va_end(measuring);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, arguments);
  text.resize(static_cast<std::size_t>(length));
  return text;
}

std::optional<std::string> formLogPath() {
  char profile[kLogPathCapacity];
  const DWORD length = GetEnvironmentVariableA(kProfileVariable, profile, sizeof profile);
  if (length == 0 || length >= sizeof profile) return std::nullopt;
  const std::string path = std::string(profile, length) + "\\" + kLogFileName;
  // A path cut short to fit would name another file.
  if (path.size() >= kLogPathCapacity) return std::nullopt;
  return path;
}

// The local time in the classic 24-character form, "Wed Jan  2 02:03:55 1980".
std::string classicTimeText() {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  SYSTEMTIME now;
  GetLocalTime(&now);
  char text[64];
  std::snprintf(text, sizeof text, "%.3s %.3s%3d %.2d:%.2d:%.2d %d", kDays[now.wDayOfWeek % 7],
                kMonths[(now.wMonth + 11) % 12], now.wDay, now.wHour, now.wMinute, now.wSecond,
                now.wYear);
  return text;
}

std::string systemMessage(long code) {
  LocalMemory<char> message;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<LPSTR>(message.receive()), 0, nullptr);
  if (length == 0 || !message) return {};
  return std::string(message.get(), length);
}

}  // namespace

DiagnosticLog& DiagnosticLog::instance() {
  static DiagnosticLog log;
  return log;
}

void DiagnosticLog::setDebugFlag(bool flag) {
  _debugFlag = flag;
  if (!flag) return;
  _logPath = formLogPath();
  writeHeader();
}

void DiagnosticLog::write(const char* format, ...) {
  if (!enabled()) return;
  va_list arguments;
  va_start(arguments, format);
  const std::string text = formatText(format, arguments);
  va_end(arguments);
  append(text);
}

void DiagnosticLog::writeResult(long code, const char* format, ...) {
  if (!enabled()) return;
  va_list arguments;
  va_start(arguments, format);
  const std::string text = formatText(format, arguments);
  va_end(arguments);
  append(text);
  if (code != ERROR_SUCCESS) writeErrorMessage(code);
}

bool DiagnosticLog::enabled() const { return _debugFlag && _logPath.has_value(); }

void DiagnosticLog::writeHeader() {
  write("\n\n---------log message--------\n");
  write("time is :%s\n", classicTimeText().c_str());
}

void DiagnosticLog::writeErrorMessage(long code) {
  write("\tformat messge:%s\n", systemMessage(code).c_str());
}

void DiagnosticLog::append(const std::string& text) const {
  UniqueFileHandle file(CreateFileA(_logPath->c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

const char* textOrNull(const std::optional<std::string>& text) {
  return text ? text->c_str() : "(null)";
}

}  // namespace vondra
