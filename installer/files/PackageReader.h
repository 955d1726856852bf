#pragma once
// Reading an add-on package as its maker: the owner of the package folder, pinned once through
// one descriptor when the run starts. Every open of a package entry (configuration, manifests,
// customization, key stores, every entry of an extras tree and every link a merge follows) runs
// with the maker's user, group and supplementary groups (platform/ActingAs.h), so the kernel
// decides what the maker may read: modes, ACLs, search rights on every folder of the path.
// Root reads out of the package nothing its maker could not read themselves.
//
// A package that is no one's is read not at all: nothing at the path, a link there (also when
// the path ends in "/" or "/."), no folder, or a folder that users other than its owner may
// write (group or others' write bit, which an ACL entry for another user also sets): whoever
// else can change it could plant entries in it.
//
// On top of the kernel's answer what is opened must belong to root or the maker, and a file must
// be a regular file of one link (a hard link may name a file of a third user that the maker
// may read only through their group).
#include <errno.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <optional>
#include <string>

#include "platform/ActingAs.h"
#include "platform/UniqueFd.h"

namespace support {

class PackageReader {
 public:
  enum class Kind { kFile, kFolder };

  // A reader for a known maker (or for no one: reads nothing).
  explicit PackageReader(std::optional<platform::Credentials> maker);

  // Pins the package at the path given (see above) and takes its owner as the maker.
  static PackageReader ofPackage(const std::optional<std::string>& packagePath);

  // The maker; none when the package is no one's.
  std::optional<uid_t> uid() const;

  // True when the mode bits let the maker read the entry, and search it when it is a folder.
  bool mayRead(const struct stat& status) const;

  // Opens a path named by the package configuration as described above. Invalid when it is
  // missing (silently) or refused: then one warning names the path.
  platform::UniqueFd openSource(const std::string& path, Kind kind) const;
  // The same without the warning.
  platform::UniqueFd openQuietly(const std::string& path, Kind kind) const;

  // openat(2) as the maker (O_CLOEXEC added); invalid with EACCES for no one's package (ENOENT
  // when nothing was there).
  platform::UniqueFd openAt(int folderFd, const char* name, int flags) const;
  // A path below an open folder of the package, following links only inside it
  // (platform::openInsideFollowingLinks), as the maker.
  platform::UniqueFd openInside(int folderFd, const std::string& relativePath, int flags) const;

 private:
  template <typename Open>
  platform::UniqueFd asMaker(Open open) const;

  std::optional<platform::Credentials> maker_;
  int noOnesError_ = EACCES;  // what an open in no one's package fails with
};

}  // namespace support
