#pragma once
// The home folder and "~" expansion.
#include <optional>
#include <string>
#include <sys/types.h>

namespace platform {

// HOME when set and not empty, else the user database entry of the effective user, else "/"
// (never an empty or relative path).
std::string homeFolder();

// The home folder of a user id from the user database; none when there is no entry.
std::optional<std::string> homeFolderOfUser(uid_t uid);

// A leading "~" (alone or before "/") becomes homeFolder(); other paths come back unchanged.
std::string expandTildeInPath(const std::string& path);

}  // namespace platform
