#include "platform/AttachedLogFile.h"

#include "platform/SystemLog.h"

namespace platform {

AttachedLogFile::AttachedLogFile(const std::string& path)
    : fd_(openFixedPathForWriting(path, FixedPathMode::Truncate)) {
  if (fd_.valid()) SystemLog::attachFile(fd_.get());
}

AttachedLogFile::~AttachedLogFile() { close(); }

AttachedLogFile& AttachedLogFile::operator=(AttachedLogFile&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::move(other.fd_);
  }
  return *this;
}

void AttachedLogFile::close() {
  if (!fd_.valid()) return;
  SystemLog::detachFile(fd_.get());
  fd_.reset();
}

}  // namespace platform
