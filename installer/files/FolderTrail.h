#pragma once
// The folders on the current path of a walk, by device and inode, so that a walk that may meet
// the same folder again (through a link, or a target inside its source) does not descend into
// it a second time. Its size grows with the depth of the walk, never with the tree.
#include <sys/stat.h>

#include <algorithm>
#include <vector>

namespace support {

struct FolderId {
  dev_t device;
  ino_t inode;
  bool operator==(const FolderId&) const = default;
  static FolderId of(const struct stat& status) { return {status.st_dev, status.st_ino}; }
};

class FolderTrail {
 public:
  bool contains(const FolderId& id) const {
    return std::find(folders_.begin(), folders_.end(), id) != folders_.end();
  }
  void push(const FolderId& id) { folders_.push_back(id); }
  void pop() { folders_.pop_back(); }
  std::size_t depth() const { return folders_.size(); }

 private:
  std::vector<FolderId> folders_;
};

}  // namespace support
