// The library's diagnostic log, "vondraReg.log" in the user's profile folder.
#pragma once

#include <optional>
#include <string>

#if defined(__MINGW_PRINTF_FORMAT)
#define VONDRA_PRINTF(formatIndex, firstArgument) \
  __attribute__((format(__MINGW_PRINTF_FORMAT, formatIndex, firstArgument)))
#else
#define VONDRA_PRINTF(formatIndex, firstArgument) \
  __attribute__((format(printf, formatIndex, firstArgument)))
#endif

namespace vondra {

// Lines are appended only while the debug flag is on. The file is opened and closed for every
// line, so the lines of earlier loads of the library accumulate. Formats are always literals of
// this library: text from Java travels only as an argument. One state per process, meant for
// one calling thread at a time, like the natives.
class DiagnosticLog {
 public:
  static DiagnosticLog& instance();

  // Stores the flag. Switching on forms the log path anew from "userprofile" and writes the
  // header; without a usable path logging stays off.
  void setDebugFlag(bool flag);

  void write(const char* format, ...) VONDRA_PRINTF(2, 3);

  // Writes the line that reports a call's result code and, when the call failed, the system's
  // message text for the code.
  void writeResult(long code, const char* format, ...) VONDRA_PRINTF(3, 4);

 private:
  bool enabled() const;
  void writeHeader();
  void writeErrorMessage(long code);
  void append(const std::string& text) const;

  bool _debugFlag = false;
  std::optional<std::string> _logPath;
};

// A log argument for text that may be absent, printed as the C library prints a null string.
const char* textOrNull(const std::optional<std::string>& text);

}  // namespace vondra
