#pragma once
// Temporary files written next to their final name and renamed into place. A temporary is named
// "." + the final name (its first 200 bytes) + a fixed marker + 24 random lowercase hex digits:
// no file a user keeps has such a name by chance, so a sweep that takes only these names never
// takes a user's file. A temporary is locked (flock, exclusive) from its creation for as long
// as its writer holds the descriptor, so a sweep never takes another run's live file: it
// removes only a temporary nobody holds, which a killed run left behind.
#include <fcntl.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/UniqueFd.h"

namespace platform::MarkedTemporary {

inline constexpr std::size_t kRandomDigits = 24;
inline constexpr std::size_t kFinalNameLimit = 200;

// The marker of record files replaced atomically, and that of copied files.
inline constexpr std::string_view kRecordMarker = ".tmp-rcp-";
inline constexpr std::string_view kCopyMarker = ".copy-rcp-";

// A fresh name for a temporary that will be named `finalName`.
std::string nameFor(const std::string& finalName, std::string_view marker);

// True for a name of the form above with this marker; with `finalName` given, only for a
// temporary of that final name.
bool isName(std::string_view entry, std::string_view marker,
            const std::optional<std::string>& finalName = std::nullopt);

// Creates a fresh temporary in the folder (O_EXCL, never through a link, mode 0600) opened with
// `accessMode`, and locks it. Invalid with errno set when it cannot; `name` receives its name.
UniqueFd create(int folderFd, const std::string& finalName, std::string_view marker,
                std::string& name, int accessMode = O_WRONLY);

// Removes the folder's temporaries of this marker (of `finalName` only, when given) that no run
// holds: regular files nobody has locked, and links (removed themselves, never followed).
// Folders and every other name stay; errors only leave a leftover in place.
void sweep(int folderFd, std::string_view marker,
           const std::optional<std::string>& finalName = std::nullopt);

}  // namespace platform::MarkedTemporary
