#pragma once
// The contract with an instance's platform launcher, "rcplauncher" in the rcp home.
//
// The launcher belongs to the installed platform. It is started with an argument list exactly
// as given (no shell), its standard output and standard error on the null device, environment,
// working folder and standard input inherited, and waited for without a time limit. Its outcome
// is never its exit status or output: it writes ".provisioning_rc" (key "rc") in the parent
// folder of the rcp home, which InstanceService::getProvisioningResult reads. A launcher that
// cannot be started writes nothing, so the caller's result check reports a failed provisioning.
#include <string>
#include <vector>

namespace support::LauncherContract {

// Arguments the callers pass, spelled as the launcher expects them.
inline constexpr const char* kRcpLauncherWait = "-rcpLauncherWait";
inline constexpr const char* kProvManifest = "-provManifest";
inline constexpr const char* kNoSplash = "-noSplash";
inline constexpr const char* kProvisioningOperation = "-provisioningOperation";
inline constexpr const char* kOperationUpdate = "update";
inline constexpr const char* kOperationCleanup = "cleanup";
inline constexpr const char* kNl = "-nl";
inline constexpr const char* kProduct = "-product";
inline constexpr const char* kProductNone = "NULL";
inline constexpr const char* kVmArgs = "-vmargs";
inline constexpr const char* kFileEncodingUtf8 = "-Dfile.encoding=UTF-8";
inline constexpr const char* kVmProvisioningOperationUpdate = "-DprovisioningOperation=update";
inline constexpr const char* kUpdateSiteOverrideTemplate = "-DprovUpdateSiteListOverride=file:{update.site}";
inline constexpr const char* kInitialHeap = "-Xms32m";
inline constexpr const char* kMaximumHeap = "-Xmx256m";

// The rcp home joined with "rcplauncher".
std::string launcherPath(const std::string& pathToRcphome);

// Starts the launcher of the rcp home with `arguments` (the program path is put in front of
// them) and blocks until it exits. True when it was started and exited on its own; false when it
// could not be started (missing, not executable) or was ended by a signal, which is also logged
// at level 3. Callers use the result file, not this value, to judge the provisioning.
bool startLauncherAndWait(const std::string& pathToRcphome, const std::vector<std::string>& arguments);

// The update run: "-rcpLauncherWait", "-provManifest", "-noSplash", "-provisioningOperation",
// "update", "-nl", locale, "-vmargs", "-Dfile.encoding=UTF-8", then `vmProperties` in order,
// then "-Xms32m", "-Xmx256m". The add-on installer passes the provisioning operation and the
// update-site override as `vmProperties`; the uninstallers pass none.
std::vector<std::string> updateRunArguments(const std::string& locale,
                                            const std::vector<std::string>& vmProperties);

// The cleanup run: "-provManifest", "-rcpLauncherWait", "-noSplash", "-product", "NULL",
// "-provisioningOperation", "cleanup".
std::vector<std::string> cleanupRunArguments();

}  // namespace support::LauncherContract
