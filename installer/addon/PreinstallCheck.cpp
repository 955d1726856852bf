#include "installer/addon/PreinstallCheck.h"

#include "installer/addon/AddonConstants.h"
#include "installer/addon/PreinstallRules.h"
#include "installer/support/AddonRegistryFile.h"
#include "installer/support/InstallUtil.h"
#include "installer/support/InstanceService.h"
#include "installer/support/RecordFileReport.h"
#include "installer/support/SupportConstants.h"
#include "platform/SystemLog.h"

namespace addon {

namespace {

using platform::SystemLog::log;

// What one run looks at, fixed once the command line and the configuration are read.
struct PreinstallContext {
  const AddonCommandLine& commandLine;
  const AddonConfiguration& configuration;
  std::string packagePath;  // as logged: "" when not given
  std::string destination;  // as logged: "" when not given
  std::optional<std::string> bundleName;
  std::optional<std::string> rcpHome;
};

// An absent value shows as "(null)" in messages, so that it differs from an empty text.
const char* text(const std::optional<std::string>& value) {
  return value ? value->c_str() : "(null)";
}

// The registry then counts as empty, so no installed version can block the add-on; the
// post-install program will refuse to rewrite such a file.
void warnWhenRegistryUnreadable(const std::string& rcpHome) {
  std::string registry = appendPathComponent(rcpHome, support::kAddonInfoName);
  if (!support::AddonRegistryFile::readAddonRecordsForRewrite(registry)) {
    support::RecordFileReport::unreadable(kLevelWarning, registry);
  }
}

bool pathsHoldUnsupportedCharacters(const AddonCommandLine& commandLine) {
  return support::InstallUtil::containUnSupportedCharacters(commandLine.packagePath) ||
         support::InstallUtil::containUnSupportedCharacters(commandLine.destination);
}

// The bundle whose running processes block the installation: the named bundle in the
// destination, also when position 5 overrides the rcp home. Without a bundle name or a
// destination (only possible when position 5 gives the rcp home), the application bundle that
// holds the rcp home, else the folder given in position 5.
std::string bundleToCheckForRunning(const PreinstallContext& run) {
  if (run.bundleName && run.commandLine.destination) {
    return appendPathComponent(run.destination, *run.bundleName + kBundleExtension);
  }
  if (auto bundle = support::InstallUtil::getBundlePath(*run.rcpHome)) return *bundle;
  return *run.commandLine.frameworkLocation;
}

int checkInstance(const PreinstallContext& run) {
  if (!run.rcpHome || !instanceExistAtLocation(run.rcpHome)) {
    log(kLevelError, "Fail to locate %s under %s. ", text(run.bundleName),
        run.destination.c_str());
    return kStatusNoInstance;
  }
  return kStatusAllowed;
}

int checkRunning(const PreinstallContext& run) {
  std::string bundle = bundleToCheckForRunning(run);
  const std::string& shown = run.bundleName ? *run.bundleName : bundle;
  log(kLevelInfo, "Checking whether %s is running.", shown.c_str());
  if (support::InstallUtil::checkBundleIsRunning(bundle)) {
    log(kLevelError, "%s is running.", shown.c_str());
    return kStatusTargetRunning;
  }
  return kStatusAllowed;
}

int checkAddonVersion(const PreinstallContext& run) {
  std::optional<std::string> id = configurationValue(run.configuration, kKeyID);
  std::optional<std::string> version = configurationValue(run.configuration, kKeyVersion);
  log(kLevelInfo, "Checking addon version");
  if (!id) return kStatusAllowed;
  warnWhenRegistryUnreadable(*run.rcpHome);
  support::InstanceService instance(run.rcpHome);
  if (higherAddonVersionInstalled(instance, *id, version)) {
    log(kLevelError, "Higher addon version has been installed under %s. ",
        run.destination.c_str());
    return kStatusHigherAddonVersion;
  }
  return kStatusAllowed;
}

int checkTargetVersion(const PreinstallContext& run) {
  std::optional<std::string> targetVersion =
      configurationValue(run.configuration, kKeyTargetVersion);
  std::optional<std::string> installed =
      support::InstanceService(run.rcpHome).getInstalledTargetVersion();
  log(kLevelInfo, "Checking whether the installedTargetVersion %s is compatible with targetVersion %s.",
      text(installed), text(targetVersion));
  // Without a configuration file there is no "targetVersion": the installed instance suffices.
  bool fits = targetVersion ? targetVersionMatches(*targetVersion, installed)
                            : instanceExistAtLocation(run.rcpHome);
  if (fits) return kStatusAllowed;
  log(kLevelError, "The %s  %s are not installed under %s.", text(run.bundleName),
      text(targetVersion), run.destination.c_str());
  return kStatusTargetVersionMismatch;
}

int runChecks(const PreinstallContext& run) {
  log(kLevelInfo, "Get install package's location: %s", run.packagePath.c_str());
  log(kLevelInfo, "Get install destination: %s", run.destination.c_str());
  log(kLevelInfo, "Checking unsupported characters");
  if (pathsHoldUnsupportedCharacters(run.commandLine)) {
    log(kLevelError, "The specified location contains unsupported characters.");
    return kStatusUnsupportedCharacters;
  }
  log(kLevelInfo, "Checking target platform %s under %s. ", text(run.bundleName),
      run.destination.c_str());
  for (auto check : {checkInstance, checkRunning, checkAddonVersion, checkTargetVersion}) {
    if (int status = check(run); status != kStatusAllowed) return status;
  }
  return kStatusAllowed;
}

}  // namespace

int runPreinstallCheck(const AddonCommandLine& commandLine) {
  log(kLevelInfo, "Entering addon preinstall");
  AddonConfiguration configuration = readAddonConfiguration(commandLine.packagePath);
  AddonLogFile logFile = setupLogFile(configuration);
  PreinstallContext run{
      .commandLine = commandLine,
      .configuration = configuration,
      .packagePath = commandLine.packagePath.value_or(""),
      .destination = commandLine.destination.value_or(""),
      .bundleName = commandLine.targetBundle
                        ? commandLine.targetBundle
                        : configurationValue(configuration, kKeyTargetBundle),
      .rcpHome = locateRcpHome(commandLine, configuration),
  };
  const int status = runChecks(run);
  // The log file ends with how the run ended.
  log(kLevelInfo, "preflightAddon exits with %d", status);
  return status;
}

}  // namespace addon
