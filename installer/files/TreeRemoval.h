#pragma once
// Deletes one entry of an open folder, a folder with everything below it, without ever
// following a symbolic link: a link is removed itself, and a folder is emptied only through
// a descriptor opened without following links. Each entry is removed as the owner of the
// folder it is in (root only where root owns that folder).
#include <cstddef>

namespace support {

// True when the entry is gone. Stops descending at the walk depth limit (then false).
bool removeEntryOfFolder(int folderFd, const char* name);

}  // namespace support
