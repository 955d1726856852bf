#include "installer/support/DirectoryStream.h"

#include <errno.h>

#include <cstring>

namespace support {

DirectoryStream::DirectoryStream(platform::UniqueFd directory) {
  if (!directory.valid()) {
    failed_ = true;
    return;
  }
  dir_ = ::fdopendir(directory.get());
  if (dir_ != nullptr) {
    directory.release();  // the DIR* owns it now
  } else {
    failed_ = true;
  }
}

DirectoryStream::~DirectoryStream() {
  if (dir_ != nullptr) ::closedir(dir_);
}

int DirectoryStream::fd() const { return dir_ != nullptr ? ::dirfd(dir_) : -1; }

const dirent* DirectoryStream::next() {
  if (dir_ == nullptr) return nullptr;
  while (true) {
    errno = 0;
    const dirent* entry = ::readdir(dir_);
    if (entry == nullptr) {
      if (errno != 0) failed_ = true;
      return nullptr;
    }
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) return entry;
  }
}

}  // namespace support
