#pragma once
// The per-run log file of an add-on tool: "/tmp/rcp_" + id + suffix. An id that would name a
// file outside "/tmp" or the folder itself (holds "/" or a NUL, is "." or "..") names no file
// of its own: such a run, and one without an id, logs to the fallback. An empty id is an id
// like any other ("/tmp/rcp_" + suffix).
#include <optional>
#include <string>

namespace support {

std::string runLogFilePath(const std::optional<std::string>& id, const std::string& suffix,
                           const std::string& fallback);

}  // namespace support
