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
//   - the text as formatted, of any length, followed by one newline (a newline that ends the
//     formatted text is that one).
// Control characters are escaped in the text, in syslog and in files alike, so that a value
// from a file, a package, the environment or the command line can neither end a line and forge
// the next one nor send a terminal its escapes: newline, carriage return and tab are written
// "\n", "\r", "\t", every other character below 0x20 and DEL as "\x" and two lower-case hex
// digits (ESC is "\x1b"). Everything else, a backslash and bytes of 0x80 and above included,
// is written as it is: the escaping keeps lines whole, it is not meant to be undone.
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
