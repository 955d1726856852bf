#include "installer/support/RunLogFileName.h"

namespace support {

std::string runLogFilePath(const std::optional<std::string>& id, const std::string& suffix,
                           const std::string& fallback) {
  if (!id || *id == "." || *id == ".." ||
      id->find_first_of(std::string("/\0", 2)) != std::string::npos) {
    return fallback;
  }
  return "/tmp/rcp_" + *id + suffix;
}

}  // namespace support
