#pragma once
// The mechanics of the merging folder copy, on open folders.
//
// A new folder is copied as it is: folders, regular files (content, mode, owner where allowed,
// times) and symbolic links as links; other kinds of entries (devices, pipes, sockets) are
// skipped. A merge treats a source entry that leads to a folder, through links too, as a folder
// to merge; anything else replaces the target entry of the same name.
//
// Writes never follow a link: targets are created exclusively, replaced entries are removed
// without following links, and a target entry that is a link or a file where the source has a
// folder is left alone rather than written through. A folder already on the current path (a
// link loop in the source, or the target lying inside the source) is not descended into again.
// Failures are not reported; whatever was copied stays.
#include <sys/stat.h>

#include <cstddef>
#include <vector>

#include "installer/support/DirectoryStream.h"
#include "installer/support/FolderTrail.h"
#include "platform/UniqueFd.h"

namespace support {

class TreeCopier {
 public:
  TreeCopier();

  // Copies the open source folder as a new folder `name` of the target parent.
  void copyAsNewFolder(platform::UniqueFd source, int targetParentFd, const char* name);
  // Merges the open source folder into the open target folder.
  void mergeInto(platform::UniqueFd source, platform::UniqueFd target);

 private:
  struct OpenFolder {
    platform::UniqueFd fd;
    struct stat status;
  };

  void copyFolder(OpenFolder source, int targetParentFd, const char* name);
  void mergeFolders(OpenFolder source, platform::UniqueFd target);
  void copyEntry(int sourceFd, const char* name, unsigned char type, int targetFd);
  void mergeEntry(int sourceFd, const char* name, unsigned char type, int targetFd);
  void mergeSubfolder(OpenFolder source, int targetFd, const char* name);
  void copyFile(int sourceFd, const char* name, int targetFd);
  void copyLink(int sourceFd, const char* name, int targetFd);
  bool copyContent(int from, int to, off_t size);
  bool copyContentByReading(int from, int to);
  // Opens a folder found in the source; invalid when it is already on the current path or
  // the walk is as deep as it may go.
  OpenFolder openSourceFolder(int sourceFd, const char* name, bool followLinks);
  bool followsToFolder(int sourceFd, const char* name) const;

  FolderTrail sourceTrail_;
  FolderTrail targetTrail_;
  std::size_t maxDepth_;
  std::vector<char> buffer_;  // for file systems without in-kernel copying
};

}  // namespace support
