#include "installer/support/RecordFileReport.h"

#include "installer/files/InstanceFiles.h"
#include "platform/SystemLog.h"

namespace support::RecordFileReport {

void unreadable(int level, const std::string& path) {
  platform::SystemLog::log(level, "Fail to read %s. It is left unchanged.", path.c_str());
}

void writeFailed(const std::string& path, std::error_code reason) {
  if (reason) {
    platform::SystemLog::log(platform::kLogError, "Fail to write %s (%s).", path.c_str(),
                             reason.message().c_str());
  } else {
    platform::SystemLog::log(platform::kLogError, "Fail to write %s.", path.c_str());
  }
}

bool removeOrWarn(const std::string& path) {
  const std::error_code error = InstanceFiles::removeItemNoFollow(path);
  if (!error) return true;
  platform::SystemLog::log(platform::kLogWarning, "Fail to remove %s (%s).", path.c_str(),
                           error.message().c_str());
  return false;
}

}  // namespace support::RecordFileReport
