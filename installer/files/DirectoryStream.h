#pragma once
// Reads the entries of an open directory straight from the kernel (getdents64), with one
// small buffer per open directory. Owns the descriptor it is given; copies are deleted.
#include <dirent.h>

#include <cstddef>
#include <memory>

#include "platform/UniqueFd.h"

namespace support {

class DirectoryStream {
 public:
  // Takes ownership of a descriptor opened with O_DIRECTORY.
  explicit DirectoryStream(platform::UniqueFd directory);

  bool valid() const { return directory_.valid(); }
  // The directory's descriptor, for the *at() calls on its entries; -1 when not valid.
  int fd() const { return directory_.get(); }
  // The next entry other than "." and ".."; null at the end or when reading failed. d_type is
  // DT_UNKNOWN on file systems that do not report it.
  const dirent64* next();
  // True when reading stopped on an error rather than at the end.
  bool failed() const { return failed_; }

 private:
  bool refill();

  platform::UniqueFd directory_;
  std::unique_ptr<char[]> buffer_;
  std::size_t filled_ = 0;
  std::size_t offset_ = 0;
  bool failed_ = false;
};

}  // namespace support
