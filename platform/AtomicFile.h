#pragma once
// The one place that replaces record files (property lists, properties files, manifests, stores).
//
// replaceFileAtomically(path, contents):
//   - writes the contents to a uniquely named temporary file in the target's folder (mkstemp,
//     O_CLOEXEC; named ".<name>.tmp-XXXXXX"), fsyncs it, renames it over the target, then
//     fsyncs the folder;
//   - the new file gets the process's default permission bits (0666 less the umask), not the
//     0600 of a temporary file;
//   - a symbolic link at the target is replaced by the new file (rename never writes through it);
//   - on any failure the temporary file is removed and the old file is left whole.
// Guarantees: after a crash the target holds the old contents or the new ones, never a mix.
// Not guaranteed: ownership of the old file is not carried over.
// Returns an empty error_code on success; on failure the error of the call that failed. A
// failed fsync of the folder is reported too, although the new file is then already in place.
// The umask is read from /proc/self/status (so no other thread ever sees it cleared); only
// where that is missing is it read by setting and restoring it.
#include <string>
#include <string_view>
#include <system_error>

namespace platform {

std::error_code replaceFileAtomically(const std::string& path, std::string_view contents);

// Removes a file without following a symbolic link (a link itself is removed, never its
// target). Missing files are not an error.
std::error_code removeFileNoFollow(const std::string& path);

}  // namespace platform
