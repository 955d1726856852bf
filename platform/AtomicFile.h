#pragma once
// The one place that replaces record files (property lists, properties files, manifests, stores).
//
// replaceFileAtomically(path, contents) and replaceFileAtomicallyAt(folder, name, contents):
//   - first remove leftovers of killed runs in the target's folder: the target's temporaries
//     (MarkedTemporary.h, marker ".tmp-rcp-") that no live writer holds. Folders and every
//     other name are left alone; nothing is followed;
//   - write the contents to a fresh temporary of that naming in the target's folder (O_EXCL,
//     O_NOFOLLOW, O_CLOEXEC), held under an exclusive flock until it is renamed so that a
//     concurrent writer's sweep never takes it; fsync it, rename it over the target, then fsync
//     the folder;
//   - a replaced regular file keeps its owner, group and mode (taken from the old file without
//     following a link); a new file gets the process's owner and default permission bits (0666
//     less the umask), not the 0600 of a temporary file. With `owner` given, the file written
//     (new or replaced) gets that owner and group instead, and with `mode` given that mode.
//     Owner and mode are set on the
//     temporary before the rename, so the target never shows wider rights or another owner;
//     when they cannot be set (a process that may not give the file that owner or group) the
//     write fails and the old file stays;
//   - a symbolic link at the target is replaced by a new file (rename never writes through it;
//     the link's own owner and mode are not carried over). Callers that mean to edit the file a
//     link names resolve the link themselves first;
//   - on any failure the temporary file is removed and the old file is left whole.
//   - the file is written as the owner of its folder (platform/ActingAs.h) when that is not
//     root: it then belongs to that user, keeps the old file's mode, and a given owner is not
//     applied (the ownership repair gives instance files their owner). The folder is reached
//     without following a link anywhere on its path.
// Guarantees: after a crash the target holds the old contents or the new ones, never a mix; the
// temporary a crash leaves is removed by the next write of the same target.
// Returns an empty error_code on success; on failure the error of the call that failed. A
// failed fsync of the folder is reported too, although the new file is then already in place.
// The umask is read from /proc/self/status (so no other thread ever sees it cleared); only
// where that is missing is it read by setting and restoring it.
#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace platform {

struct FileOwner {
  uid_t uid;
  gid_t gid;
};

std::error_code replaceFileAtomically(const std::string& path, std::string_view contents,
                                      const std::optional<FileOwner>& owner = std::nullopt,
                                      std::optional<mode_t> mode = std::nullopt);

// The same in the folder open at folderFd (resolved by the caller, e.g. without following
// links); `name` is one plain entry name (no "/", not "." or "..").
std::error_code replaceFileAtomicallyAt(int folderFd, const std::string& name,
                                        std::string_view contents,
                                        const std::optional<FileOwner>& owner = std::nullopt,
                                        std::optional<mode_t> mode = std::nullopt);

// Removes a file without following a symbolic link (a link itself is removed, never its
// target). Missing files are not an error.
std::error_code removeFileNoFollow(const std::string& path);

}  // namespace platform
