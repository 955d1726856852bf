#include "installer/support/LauncherContract.h"

#include "installer/support/SupportConstants.h"
#include "platform/ChildProcess.h"
#include "platform/SystemLog.h"

namespace support::LauncherContract {

std::string launcherPath(const std::string& pathToRcphome) {
  if (!pathToRcphome.empty() && pathToRcphome.back() == '/') return pathToRcphome + kLauncherName;
  return pathToRcphome + "/" + kLauncherName;
}

bool startLauncherAndWait(const std::string& pathToRcphome, const std::vector<std::string>& arguments) {
  std::vector<std::string> argv;
  argv.push_back(launcherPath(pathToRcphome));
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  if (platform::runChildAndWait(argv)) return true;
  // Otherwise the only trace of the failure would be a missing result file.
  platform::SystemLog::log(platform::kLogError, "Fail to launch %s or it did not exit normally.",
                           argv.front().c_str());
  return false;
}

std::vector<std::string> updateRunArguments(const std::string& locale,
                                            const std::vector<std::string>& vmProperties) {
  std::vector<std::string> arguments{kRcpLauncherWait, kProvManifest, kNoSplash, kProvisioningOperation,
                                     kOperationUpdate, kNl,           locale,    kVmArgs,
                                     kFileEncodingUtf8};
  arguments.insert(arguments.end(), vmProperties.begin(), vmProperties.end());
  arguments.push_back(kInitialHeap);
  arguments.push_back(kMaximumHeap);
  return arguments;
}

std::vector<std::string> cleanupRunArguments() {
  return {kProvManifest, kRcpLauncherWait, kNoSplash, kProduct, kProductNone, kProvisioningOperation,
          kOperationCleanup};
}

}  // namespace support::LauncherContract
