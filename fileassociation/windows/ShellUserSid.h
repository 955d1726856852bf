// The user who owns the desktop shell of the caller's session.
#pragma once

#include <optional>
#include <string>

namespace vondra {

// The standard string form ("S-1-5-21-...") of the SID of the user who owns the first
// "EXPLORER.EXE" process whose token carries the caller's terminal-services session id. None
// when the caller's session cannot be read or no such shell process runs.
std::optional<std::string> findShellUserSid();

}  // namespace vondra
