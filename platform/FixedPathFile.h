#pragma once
// Files at fixed paths in folders anyone can write (/tmp) that a root program makes for itself
// (logs, traces, stores). Another user can have made the path first: a file of theirs (which
// they could read and edit after root wrote into it), a link, a FIFO. An entry that belongs to
// anyone but root or the effective user is removed (unlink never follows a link; /tmp's sticky
// bit does not hold root back; a folder of theirs, which may hold their files, is moved aside
// under a fresh name instead) and the file is made anew, exclusively (O_CREAT | O_EXCL |
// O_NOFOLLOW), so root never writes into, reads from or truncates another user's file there.
// An entry of root's or our own is used only when it is a regular file with exactly one link;
// anything else of ours (a link, a folder, a FIFO root made) is refused and left as it is.
#include <string>
#include <string_view>
#include <system_error>

#include "platform/UniqueFd.h"

namespace platform {

enum class FixedPathMode { Truncate, Append };

// Opens the file for writing (made 0644 when new; truncated only after the checks, when
// asked). Invalid when what lies at the path cannot be used or removed as above, or the file
// cannot be opened.
UniqueFd openFixedPathForWriting(const std::string& path, FixedPathMode mode);

// Opens the file for reading when it is one of ours: a regular file of one link that belongs
// to root or the effective user. Invalid otherwise, with errno ENOENT (nothing there), ELOOP (a
// link), EINVAL (no regular file), EMLINK (several links), EPERM (another user's) or the
// error of the open.
UniqueFd openFixedPathForReading(const std::string& path);

// Replaces the file atomically with one of the effective user's own, mode 0644, whoever owned
// the entry before (the owner and mode of a planted file are never carried over).
std::error_code replaceFixedPathFile(const std::string& path, std::string_view contents);

}  // namespace platform
