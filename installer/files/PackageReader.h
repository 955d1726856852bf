#pragma once
// Who may read what root copies out of an add-on package: the owner of the package folder.
// The package lies in a folder that this user can change, so root copies out of it only what
// the user could read anyway; anything else would hand root-only content to the user once the
// instance belongs to them.
//
// A path named by the package configuration (manifests, customization, key stores, extras) is
// opened with this user's rights (their user, group and supplementary group ids while the
// open runs), so a link or a path the user cannot follow is refused by the kernel itself; what
// it opens must belong to root or the user, and a file must have one link. Below an opened
// folder, every entry a copy takes must be readable (a folder also searchable) by the user
// after its mode bits, and a file must have one link.
#include <sys/stat.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/UniqueFd.h"

namespace support {

class PackageReader {
 public:
  enum class Kind { kFile, kFolder };

  // `groups` holds every group the user is in, `gid` among them.
  PackageReader(uid_t uid, gid_t gid, std::vector<gid_t> groups);

  // The owner of the entry at the package path (a link there is not followed: its own owner
  // counts) with their groups from the user database. When nothing is there, a user of no
  // rights ("nobody", uid and gid 65534) stands in, so nothing root-only is taken.
  static PackageReader ofPackage(const std::optional<std::string>& packagePath);

  uid_t uid() const { return uid_; }

  // True when the mode bits let this user read the entry, and search it when it is a folder.
  bool mayRead(const struct stat& status) const;

  // Opens a path named by the package configuration as described above. Invalid when it is
  // missing (silently) or refused: then one warning names the path.
  platform::UniqueFd openSource(const std::string& path, Kind kind) const;

 private:
  bool inGroup(gid_t gid) const;
  platform::UniqueFd openWithUsersRights(const std::string& path, Kind kind) const;

  uid_t uid_;
  gid_t gid_;
  std::vector<gid_t> groups_;
};

}  // namespace support
