#pragma once
// Opens a path below an open folder, never leaving it and never following a link: every
// component is looked up from the descriptor of the one before, a symbolic link anywhere on
// the path fails the open, and ".." may step back only as far as the starting folder. A name
// checked earlier cannot be swapped for a link to somewhere else between check and use.
//
// Results: a valid descriptor, or an invalid one with errno set:
//   ELOOP   a component is a symbolic link (the last one too);
//   EXDEV   the path is absolute or ".." leads out of the starting folder;
//   ENOENT, ENOTDIR, EACCES, ... as openat(2) gives them.
#include <string>

#include "platform/UniqueFd.h"

namespace platform {

// `flags` are openat(2) flags for the last component (O_RDONLY | O_DIRECTORY, O_PATH, ...);
// O_NOFOLLOW and O_CLOEXEC are always added. An empty path or "." opens the folder itself again.
UniqueFd openBeneath(int folder, const std::string& relativePath, int flags);

// The same, one component at a time with openat(2) and O_NOFOLLOW: what openBeneath does where
// the kernel has no openat2(2). Kept callable so that both ways are tested alike.
UniqueFd openBeneathByComponents(int folder, const std::string& relativePath, int flags);

// Opens a path below an open folder, following links as long as every step stays inside it (no
// absolute link, no ".." or link out of it, no other mount): a link inside a copied tree is
// followed, one leaving it is refused (EXDEV). O_CLOEXEC is added. Only the kernel can do this
// walk safely (openat2); where it cannot, the result is invalid with ENOSYS.
UniqueFd openInsideFollowingLinks(int folder, const std::string& relativePath, int flags);

// Opens a whole path the same way: an absolute one from "/", a relative one from the working
// folder. No link is followed anywhere on it.
UniqueFd openWithoutLinks(const std::string& path, int flags);

}  // namespace platform
