#pragma once
// The temporary names under which copies are written before they are renamed into place:
// "." + the final name (up to 200 bytes) + ".copy-rcp-" + 24 random lowercase hex digits
// (platform/MarkedTemporary.h). A run killed halfway leaves at most such a name behind, never a
// partial file under the final name; the next run that writes into the folder removes them
// first. A temporary is locked while it is written, so that sweep never takes a live one.
#include <string>

#include "platform/UniqueFd.h"

namespace support {

// A fresh temporary name for a copy that will be named `finalName`.
std::string copyTemporaryNameFor(const std::string& finalName);
// True for names of the form above.
bool isCopyTemporaryName(const char* name);
// Removes every entry of the open folder whose name is a copy temporary, that is no folder and
// that no live run holds locked (a link is removed itself, never followed). Other names are
// never touched.
void removeCopyTemporaries(int folderFd);

// Creates the temporary file in the folder (exclusively, mode 0600, never through a link) and
// locks it until the descriptor is closed: keep it open until the rename. Invalid descriptor
// with errno set when it cannot.
platform::UniqueFd createCopyTemporary(int folderFd, const std::string& finalName,
                                       std::string& temporaryName);

// Gives the written temporary its final name, which must not exist: renameat2 with
// RENAME_NOREPLACE, or a hard link and unlink where the file system lacks it. On failure the
// temporary is removed and errno tells why.
bool renameCopyTemporaryNoReplace(int folderFd, const std::string& temporaryName,
                                  const char* finalName);
// Gives the written temporary its final name, replacing the file or link there in one step: the
// name holds the old entry or the new one, never neither. On failure the temporary is removed
// and errno tells why.
bool renameCopyTemporaryReplacing(int folderFd, const std::string& temporaryName,
                                  const char* finalName);

}  // namespace support
