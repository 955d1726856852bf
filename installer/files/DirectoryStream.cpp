#include "installer/files/DirectoryStream.h"

#include <errno.h>

#include <cstring>

namespace support {

namespace {
// Some tens of entries per call; small, because a deep walk holds one buffer per level.
constexpr std::size_t kBufferSize = 8192;

bool isDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}
}  // namespace

DirectoryStream::DirectoryStream(platform::UniqueFd directory) : directory_(std::move(directory)) {
  if (directory_.valid()) buffer_ = std::make_unique<char[]>(kBufferSize);
  else failed_ = true;
}

const dirent64* DirectoryStream::next() {
  while (true) {
    if (offset_ >= filled_ && !refill()) return nullptr;
    const auto* entry = reinterpret_cast<const dirent64*>(buffer_.get() + offset_);
    offset_ += entry->d_reclen;
    if (!isDotOrDotDot(entry->d_name)) return entry;
  }
}

bool DirectoryStream::refill() {
  if (failed_) return false;  // also a stream whose descriptor did not open
  ssize_t count;
  do {
    count = ::getdents64(directory_.get(), buffer_.get(), kBufferSize);
  } while (count < 0 && errno == EINTR);
  if (count < 0) failed_ = true;
  filled_ = count > 0 ? static_cast<std::size_t>(count) : 0;
  offset_ = 0;
  return count > 0;
}

}  // namespace support
