#include "tools/rcplauncher-sim/Simulator.h"

#include <csignal>
#include <filesystem>
#include <iostream>
#include <variant>

#include "platform/AtomicFile.h"
#include "tools/rcplauncher-sim/ArgumentLists.h"
#include "tools/rcplauncher-sim/DiskFiller.h"
#include "tools/rcplauncher-sim/InstanceFiles.h"
#include "tools/rcplauncher-sim/Journal.h"
#include "tools/rcplauncher-sim/PluginFolder.h"
#include "tools/rcplauncher-sim/SimOptions.h"
#include "tools/rcplauncher-sim/UpdatePlan.h"

namespace rcpsim {
namespace {

namespace fs = std::filesystem;

struct Instance {
  fs::path rcpHome;
  fs::path parent;  // holds the result file, the journal and the last update outcome

  fs::path updateManifest() const { return rcpHome / "deploy" / "install.update.xml"; }
  fs::path plugins() const { return rcpHome / "eclipse" / "plugins"; }
};

void complain(const std::string& text) { std::cerr << "rcplauncher: " << text << '\n'; }

int runUpdate(const Instance& instance, const std::optional<std::string>& updateSite) {
  std::variant<UpdatePlan, std::string> plan = planUpdate(instance.updateManifest().string(), updateSite);
  if (auto* error = std::get_if<std::string>(&plan)) {
    complain(*error);
    return kResultFailure;
  }
  if (std::optional<std::string> error = applyUpdatePlan(std::get<UpdatePlan>(plan), instance.plugins().string())) {
    complain(*error);
    return kResultFailure;
  }
  return kResultSuccess;
}

int runCleanup(const Instance& instance) {
  fs::path lastUpdate = instance.parent / kLastUpdateFileName;
  int result = readResultCode(lastUpdate.string()).value_or(kResultSuccess);
  platform::removeFileNoFollow(lastUpdate.string());
  if (std::error_code error = platform::removeFileNoFollow(instance.updateManifest().string())) {
    complain("cannot remove " + instance.updateManifest().string() + ": " + error.message());
    return kResultFailure;
  }
  return result;
}

int perform(const Instance& instance, const LauncherRequest& request, const SimOptions& options) {
  int result = request.operation == Operation::Update ? runUpdate(instance, request.updateSite)
                                                      : runCleanup(instance);
  result = options.forcedResult.value_or(result);
  if (request.operation == Operation::Update) {
    writeResultCode((instance.parent / kLastUpdateFileName).string(), result);
  }
  return result;
}

// The list as one journal line without its line feed, so that it stays one line on stderr.
const char* operationName(Operation operation) {
  return operation == Operation::Update ? "update" : "cleanup";
}

std::string refusedListText(const std::vector<std::string>& arguments) {
  std::string text = formatJournalLine(arguments);
  text.pop_back();
  return text;
}

// This run's number: its own line is the journal's last.
int runsInJournal(const Instance& instance) {
  std::optional<std::vector<std::vector<std::string>>> runs =
      readJournal((instance.parent / kJournalName).string());
  return runs ? static_cast<int>(runs->size()) : 0;
}

int exitStatusFor(int result) {
  if (result >= 0 && result <= 255) return result;
  return 1;
}

}  // namespace

std::optional<std::string> locateRcpHome(const char* argv0) {
  std::error_code error;
  fs::path program;
  if (argv0 != nullptr && std::string_view(argv0).find('/') != std::string_view::npos) {
    program = fs::absolute(argv0, error);  // as started, so a copy or a link names its own instance
  } else {
    program = fs::read_symlink("/proc/self/exe", error);
  }
  if (error || program.empty()) return std::nullopt;
  return program.lexically_normal().parent_path().string();
}

int runLauncher(const std::string& pathToRcphome, const std::vector<std::string>& arguments) {
  Instance instance{pathToRcphome, fs::path(pathToRcphome).parent_path()};
  std::error_code error;
  const bool sawResult = fs::symlink_status(instance.parent / kResultFileName, error).type() != fs::file_type::not_found;
  if (!appendResultSighting((instance.parent / kResultSightingsName).string(), sawResult)) {
    complain("cannot append to the result sightings in " + instance.parent.string());
  }
  if (!appendJournalLine((instance.parent / kJournalName).string(), arguments)) {
    complain("cannot append to the journal in " + instance.parent.string());
  }
  std::optional<LauncherRequest> request = recognizeArguments(arguments);
  std::optional<SimOptions> options = readSimOptions();
  if (!request || !options) {
    complain(request ? std::string("refused RCPSIM_FORCE_RC, RCPSIM_NO_RESULT, RCPSIM_KILL_IN, RCPSIM_KILL_RUN or RCPSIM_FILL_DISK value")
                     : "refused argument list: " + refusedListText(arguments));
    writeResultCode((instance.parent / kResultFileName).string(), kResultRefused);
    return kResultRefused;
  }
  if (options->fillDisk) freeFileSystem(instance.parent.string());
  int result = perform(instance, *request, *options);
  if (!options->writeNoResult && !writeResultCode((instance.parent / kResultFileName).string(), result)) {
    complain("cannot write the result file in " + instance.parent.string());
  }
  if (options->fillDisk && !fillFileSystem(instance.parent.string())) {
    complain("cannot fill the file system of " + instance.parent.string());
  }
  if (options->killInOperation == operationName(request->operation) ||
      (options->killRun && options->killRun == runsInJournal(instance))) {
    ::raise(SIGKILL);
  }
  return exitStatusFor(result);
}

}  // namespace rcpsim
