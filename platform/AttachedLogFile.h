#pragma once
// A log file at a fixed path in /tmp, attached to the system log for the object's lifetime.
// Opened as FixedPathFile.h opens for writing: another user's entry at the path is removed and
// the log made anew as root's own; one of ours must be a regular file with one link, and is
// truncated only after that check. A file that cannot be opened that way is simply not
// attached: the run goes on with the system log alone. Detached and closed on destruction.
#include <string>

#include "platform/FixedPathFile.h"
#include "platform/UniqueFd.h"

namespace platform {

class AttachedLogFile {
 public:
  AttachedLogFile() = default;
  explicit AttachedLogFile(const std::string& path);
  ~AttachedLogFile();
  AttachedLogFile(AttachedLogFile&& other) noexcept = default;
  AttachedLogFile& operator=(AttachedLogFile&& other) noexcept;
  AttachedLogFile(const AttachedLogFile&) = delete;
  AttachedLogFile& operator=(const AttachedLogFile&) = delete;

  bool attached() const { return fd_.valid(); }
  // Detaches and closes the file now.
  void close();

 private:
  UniqueFd fd_;
};

}  // namespace platform
