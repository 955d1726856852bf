#include "installer/support/RecordCheck.h"

#include <errno.h>
#include <sys/stat.h>

#include "installer/files/InstanceFiles.h"
#include "installer/files/RegularFileBytes.h"
#include "installer/formats/JavaProperties.h"
#include "installer/support/AddonRegistryFile.h"
#include "installer/support/RecordFileReport.h"
#include "platform/PropertyListFile.h"
#include "platform/SystemLog.h"

namespace support::RecordCheck {
namespace {

bool isMissing(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) != 0 && errno == ENOENT;
}

bool reads(const std::string& path, RecordFormat format) {
  switch (format) {
    case RecordFormat::kJavaProperties:
      return readRegularFileBytes(path, kJavaPropertiesSizeCap).has_value();
    case RecordFormat::kPropertyList: {
      std::optional<platform::PlistValue> root = platform::PropertyListFile::read(path);
      return root && root->asDictionary();
    }
    case RecordFormat::kAddonRegistry:
      return AddonRegistryFile::readAddonRecordsForRewrite(path).has_value();
  }
  return false;
}

}  // namespace

bool recordsReadable(const std::string& rcphome, const std::vector<Record>& records) {
  bool readable = true;
  for (const Record& record : records) {
    const std::string path = InstanceFiles::appendPathComponent(rcphome, record.name);
    if (isMissing(path) || reads(path, record.format)) continue;
    RecordFileReport::unreadable(platform::kLogError, path);
    readable = false;
  }
  return readable;
}

}  // namespace support::RecordCheck
