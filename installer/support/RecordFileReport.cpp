#include "installer/support/RecordFileReport.h"

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

}  // namespace support::RecordFileReport
