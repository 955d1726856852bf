#pragma once
// Gives every entry below a folder one owner, group and mode, in one depth-first pass that
// never follows a symbolic link: a link gets owner and group on the link itself and keeps its
// mode; a folder is entered only through a descriptor opened without following links, so the
// walk never leaves the tree, even when entries are swapped for links while it runs.
#include <sys/types.h>

#include <cstddef>
#include <optional>

#include "installer/support/DirectoryStream.h"
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

  // Changes every entry below the folder (not the folder itself). True when every change
  // succeeded; the walk goes on after a failure. An attribute that could not be resolved is
  // left as it is and counts as a failure for every entry.
  bool applyBelow(platform::UniqueFd folder);

 private:
  bool applyToEntries(DirectoryStream& folder, std::size_t depth);
  bool applyToEntry(int folderFd, const char* name, unsigned char type, std::size_t depth);
  bool applyToFolder(int folderFd, const char* name, std::size_t depth);
  bool applyToNonFolder(int folderFd, const char* name, bool isLink);
  bool changeOwner(int folderFd, const char* name);

  StandardAttributes attributes_;
  bool complete_;
  std::size_t maxDepth_;
};

}  // namespace support
