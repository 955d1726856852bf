#pragma once
// Reads the entries of an open directory. Owns the descriptor it is given (and the DIR* made
// from it); copies are deleted.
#include <dirent.h>

#include "platform/UniqueFd.h"

namespace support {

class DirectoryStream {
 public:
  // Takes ownership of a descriptor opened with O_DIRECTORY.
  explicit DirectoryStream(platform::UniqueFd directory);
  ~DirectoryStream();
  DirectoryStream(const DirectoryStream&) = delete;
  DirectoryStream& operator=(const DirectoryStream&) = delete;

  bool valid() const { return dir_ != nullptr; }
  // The directory's descriptor, for the *at() calls on its entries; -1 when not valid.
  int fd() const;
  // The next entry other than "." and ".."; null at the end or when reading failed.
  const dirent* next();
  // True when reading stopped on an error rather than at the end.
  bool failed() const { return failed_; }

 private:
  DIR* dir_ = nullptr;
  bool failed_ = false;
};

}  // namespace support
