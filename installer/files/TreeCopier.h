#pragma once
// The mechanics of the merging folder copy, on open folders.
//
// A new folder is copied as it is: folders, regular files (content, mode, owner where allowed,
// times) and symbolic links as links; other kinds of entries (devices, pipes, sockets) are
// skipped. A merge treats a source entry that leads to a folder as a folder to merge, through
// a link too as long as the folder it leads to lies inside the copied tree; anything else
// replaces the target entry of the same name.
//
// Nothing is taken from outside the copied tree: a link that leaves it is copied as a link,
// never followed, and a file with more than one link (a hard link may name any file of the
// file system) is not copied. Given a package reader, entries that user could not read are
// left out as well.
//
// Each file is written under a temporary name in its folder (see CopyTemporaries.h), locked
// while it is written, and renamed to its name only when complete: a killed or failed copy
// never leaves a partial file under the final name. A merge replaces an existing file or link
// by renaming the complete new one over it, so a failed copy keeps the old one. A merge first
// removes the temporaries that killed runs left in each existing folder it writes to.
//
// Who acts: every entry of the source is opened as the package's maker (given a reader), so the
// kernel applies the maker's rights, and every entry of the target is created, replaced or
// removed as the owner of the folder it is in (root only where root owns that folder). Copies
// carry no set-id bits.
//
// Writes never follow a link: targets are created exclusively or renamed over, and a target
// entry that is a link or a file where the source has a folder, or a folder where the source
// has a file or a link, is left alone rather than written through or deleted. A folder already
// on the current path (a link loop in the source, or the target lying inside the source) is not
// descended into again.
//
// Every entry that is not copied (refused, nested too deep, in conflict with the target, or a
// failed write such as a full disk) is logged at level 3 as "Fail to copy <target path>:
// <reason>." and makes the copy report failure; whatever was copied stays.
#include <sys/stat.h>

#include <cstddef>
#include <string>
#include <vector>

#include "installer/files/DirectoryStream.h"
#include "installer/files/FolderTrail.h"
#include "installer/files/PackageReader.h"
#include "platform/UniqueFd.h"

namespace support {

class TreeCopier {
 public:
  // Without a reader, whatever root can read is copied (no link left, no hard link taken).
  explicit TreeCopier(const PackageReader* reader = nullptr);

  // Copies the open source folder as a new folder `name` of the target parent, whose path
  // `targetPath` names the new folder in log lines. True when every entry was copied.
  bool copyAsNewFolder(platform::UniqueFd source, int targetParentFd, const char* name,
                       const std::string& targetPath);
  // Merges the open source folder into the open target folder (at `targetPath`). True when
  // every entry was copied.
  bool mergeInto(platform::UniqueFd source, platform::UniqueFd target, const std::string& targetPath);

 private:
  struct OpenFolder {
    platform::UniqueFd fd;
    struct stat status;
  };

  void copyFolder(OpenFolder source, int targetParentFd, const char* name);
  platform::UniqueFd makeTargetFolder(int targetParentFd, const char* name);
  // Opens an entry of the source: as the package's maker when there is a reader.
  platform::UniqueFd openSourceAt(int sourceFd, const char* name, int flags) const;
  void mergeFolders(OpenFolder source, platform::UniqueFd target);
  void copyEntry(int sourceFd, const char* name, unsigned char type, int targetFd,
                 bool replace = false);
  void mergeEntry(int sourceFd, const char* name, unsigned char type, int targetFd);
  void mergeSubfolder(OpenFolder source, int targetFd, const char* name);
  void copyFile(int sourceFd, const char* name, int targetFd, bool replace);
  // A regular file of one link that the reader, if any, may read.
  bool mayTake(const struct stat& status) const;
  bool mayTakeFile(int sourceFd, const char* name) const;
  void copyLink(int sourceFd, const char* name, int targetFd, bool replace);
  bool copyContent(int from, int to, off_t size);
  bool copyContentByReading(int from, int to);
  // Opens a folder found in the source; invalid when it is already on the current path or
  // the walk is as deep as it may go.
  OpenFolder openSourceFolder(int sourceFd, const char* name, bool followLinks);
  // A link that leads to a folder inside the copied tree, opened; invalid otherwise. `loop` is
  // set when that folder is already on the current path (or the walk is as deep as it may go).
  OpenFolder openLinkedFolderInsideTree(const char* name, bool& loop);
  OpenFolder checkedFolder(platform::UniqueFd fd);
  // Logs the entry of the current folder (none: the folder itself) as not copied.
  void fail(const char* name, const char* reason);
  void failWithErrno(const char* name);
  void setRoot(int sourceFd);
  void enter(const char* name);
  void leave();

  const PackageReader* reader_;
  platform::UniqueFd root_;  // the copied tree's top folder
  std::string relative_;      // the current source folder, relative to root_
  std::string targetPath_;    // the target's top folder, for log lines
  bool failed_ = false;

  FolderTrail sourceTrail_;
  FolderTrail targetTrail_;
  std::size_t maxDepth_;
  std::vector<char> buffer_;  // for file systems without in-kernel copying
};

}  // namespace support
