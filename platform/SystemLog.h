#pragma once
// The system log: every message goes to syslog(3) at its numeric level and, as one line
// ("<time> <host> <program>[<pid>] <level>: <text>"), to every attached file descriptor.
// Messages are printf-style; the compiler checks the format. Text from files, packages or
// the command line is passed as an argument ("%s"), never as the format.
//
// File line format (stable; tests and people grep it):
//   "Mon Dec  7 19:52:48 2026 myhost preflightAddon[123] <Error>: the text\n"
//   - time: local time as strftime "%a %b %e %H:%M:%S %Y";
//   - host: gethostname(); program: setProgramName() or the executable's name; pid: getpid();
//   - level: <Emergency> <Alert> <Critical> <Error> <Warning> <Notice> <Info> <Debug> for
//     0-7 (levels outside 0-7 are clamped, in syslog too);
//   - the text as formatted, of any length, followed by one newline (none added when the
//     text already ends with one).
// Each line reaches each descriptor in one write(2), so lines of several processes appending
// to one file never interleave. syslog(3) is opened with the program name and LOG_PID.
#include <cstdarg>

namespace platform {

enum LogLevel : int {
  kLogError = 3,
  kLogWarning = 4,
  kLogInfo = 6,
};

namespace SystemLog {

// Sets the program name used in syslog and in file lines (default: the executable's name).
void setProgramName(const char* name);

// Adds a descriptor that receives a copy of every later message. The log does not own it.
void attachFile(int fd);
// Stops copying to the descriptor (does not close it).
void detachFile(int fd);

void log(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
void logv(int level, const char* format, va_list args) __attribute__((format(printf, 2, 0)));

}  // namespace SystemLog
}  // namespace platform
