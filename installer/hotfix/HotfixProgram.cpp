#include "installer/hotfix/HotfixProgram.h"

#include <unistd.h>

#include <optional>
#include <string>

#include "installer/hotfix/HotfixConstants.h"
#include "installer/hotfix/RCPHotfixUninstall.h"
#include "installer/hotfix/RegisterFile.h"
#include "installer/support/InstallUtil.h"
#include "installer/files/InstanceFiles.h"
#include "installer/files/PathText.h"
#include "installer/support/SupportConstants.h"
#include "installer/support/UninstallErrorLine.h"
#include "platform/AttachedLogFile.h"
#include "platform/SystemLog.h"

namespace hotfix {
namespace {

std::optional<std::string> locationFromCommandLine(int argc, const char* const* argv) {
  for (int i = 1; i + 1 < argc; ++i) {  // argv[0] is the program itself
    if (argv[i] != nullptr && std::string(argv[i]) == kRcpHomeOption && argv[i + 1] != nullptr) {
      return std::string(argv[i + 1]);
    }
  }
  return std::nullopt;
}

// The register file's rcp home with "rcp" taken off again, else the default location.
std::optional<std::string> registeredOrDefaultLocation() {
  std::optional<std::string> rcpHome = RegisterFile(kProductName).getPathToRcpHome();
  if (rcpHome) {
    std::string candidate = support::path_text::deletingLastPathComponent(*rcpHome);
    if (support::InstanceFiles::exists(candidate)) return candidate;
  }
  if (support::InstanceFiles::exists(kDefaultInstallLocation)) return std::string(kDefaultInstallLocation);
  return std::nullopt;
}

void printStatus(std::FILE* out, int status) {
  if (status == kStatusProvisioningFailed) {
    std::fprintf(out, "Error:%d: Unstall provisioning fails.\n", status);
  } else {
    support::printSharedUninstallErrorLine(out, status);
  }
}

}  // namespace

int runHotfixUninstallProgram(int argc, const char* const* argv, std::FILE* out) {
  if (::geteuid() != 0) {
    std::fprintf(out,
                 "Failed to uninstall this package. Permission denied. To retry the work, please "
                 "make sure you belong to admin group and execute this command as root.\n"
                 "Usage: sudo ./peloraHotfixUninstall\n");
    return 0;
  }
  platform::AttachedLogFile trace;
  if (support::InstallUtil::shouldWriteTraces()) trace = platform::AttachedLogFile(support::kTraceFilePath);

  std::optional<std::string> location = locationFromCommandLine(argc, argv);
  if (!location) location = registeredOrDefaultLocation();
  if (!location) {
    std::fprintf(out,
                 "RCP home of Tallo installation cannot be determined! \n"
                 "Usage: peloraHotfixUninstall -rcphome <absolute pathToRcphome>\n");
    platform::SystemLog::log(platform::kLogInfo, "peloraHotfixUninstall exits with %d", kStatusNoBundle);
    return kStatusNoBundle;
  }
  int status = RCPUninstallPeloraHotfix(location->c_str());
  printStatus(out, status);
  // The trace file, when there is one, ends with how the run ended.
  platform::SystemLog::log(platform::kLogInfo, "peloraHotfixUninstall exits with %d", status);
  return status;
}

}  // namespace hotfix
