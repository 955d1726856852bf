#pragma once
// Owner and mode changes made through a descriptor rather than a name, so that the inode that
// was checked (fstat) is the inode that is changed, whatever happens to its name meanwhile.
// The descriptor may be an O_PATH one, which pins any kind of entry without opening it: no
// FIFO blocks, no device is touched, and a symbolic link opened with O_PATH | O_NOFOLLOW is
// the link itself.
#include <sys/types.h>

#include "platform/UniqueFd.h"

namespace platform {

// Pins an entry of a folder without following a link and without opening what it names.
UniqueFd pinEntryNoFollow(int folder, const char* name);

// Owner and group of the inode behind the descriptor ((uid_t)-1 / (gid_t)-1 leave one as it
// is); a pinned link gets them on itself. 0, or -1 with errno.
int changeOwnerThrough(int fd, uid_t owner, gid_t group);

// Mode of the inode behind the descriptor, for any descriptor including O_PATH ones: fchmodat2
// with AT_EMPTY_PATH where the kernel has it, else chmod of /proc/self/fd/<fd>, which names the
// same pinned inode. Not for links (they keep their mode). 0, or -1 with errno.
int changeModeThrough(int fd, mode_t mode);

}  // namespace platform
