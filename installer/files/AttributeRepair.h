#pragma once
// Gives every entry below a folder one owner, group and mode, in one depth-first pass that
// never follows a symbolic link and acts on the inode it checked: each entry is pinned by a
// descriptor opened without following links (a folder with O_DIRECTORY, anything else with
// O_PATH), checked with fstat and changed through that descriptor. So a name swapped for a link
// between listing and change is never followed, the walk never leaves the tree, and a link gets
// owner and group on itself and keeps its mode.
//
// A non-folder with more than one hard link is left as it is, with one warning in the system
// log: its other names may lie anywhere on the file system (a root-owned file linked into a
// folder the user can write), and changing it would hand that file to the user. Entries that
// already have the attributes are not changed again.
#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>

#include "installer/files/DirectoryStream.h"
#include "platform/UniqueFd.h"

namespace support {

struct StandardAttributes {
  std::optional<uid_t> owner;  // none: the owner could not be resolved
  std::optional<gid_t> group;  // none: the group could not be resolved
  mode_t mode;
};

class AttributeRepair {
 public:
  explicit AttributeRepair(const StandardAttributes& attributes);

  // Changes every entry below the folder (not the folder itself); `shownAs` is its path for log
  // lines. True when every entry has the attributes afterwards; the walk goes on after a
  // failure. An attribute that could not be resolved is left as it is and counts as a failure
  // for every entry; so does a file left alone for its hard links.
  bool applyBelow(platform::UniqueFd folder, const std::string& shownAs);

 private:
  bool applyToEntries(DirectoryStream& folder, std::size_t depth);
  bool applyToFolder(int folderFd, const char* name, std::size_t depth, bool mayRetry);
  bool applyToNonFolder(int folderFd, const char* name, std::size_t depth, bool mayRetry);
  bool alreadyRightByName(int folderFd, const char* name) const;
  bool hasAttributes(const struct stat& status) const;
  bool changeThrough(int fd, const struct stat& status) const;
  // A change that fails is logged at level 4 with the entry and the reason.
  bool changedOrSaid(int fd, const struct stat& status, const char* name) const;
  void warnNotChanged(const char* name, const char* reason) const;
  void warnOfHardLinks(const char* name, nlink_t links) const;

  StandardAttributes attributes_;
  bool complete_;
  std::size_t maxDepth_;
  std::string path_;  // the folder being walked, for log lines
  // Whether the last file needed a change. While files keep needing changes they are pinned
  // straight away; once they are found right, a cheaper look by name comes first, and only a
  // file that needs a change is pinned (a second repair of the same tree is mostly such looks).
  bool expectChanges_ = true;
};

}  // namespace support
