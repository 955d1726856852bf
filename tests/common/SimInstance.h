#pragma once
// A platform instance for tests of the simulated launcher and of its callers:
// <temp>/Contents/MacOS/rcp with "deploy", "eclipse/plugins" and the simulator as "rcplauncher".
// Needs RCPLAUNCHER_SIM_PATH (the built rcplauncher-sim) defined for the test target.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "common/TempDir.h"
#include "tools/rcplauncher-sim/Journal.h"

namespace testing_support {

class SimInstance {
 public:
  SimInstance() : rcpHome_(temp_.path() / "Contents" / "MacOS" / "rcp") {
    std::filesystem::create_directories(rcpHome_ / "deploy");
    std::filesystem::create_directories(rcpHome_ / "eclipse" / "plugins");
    std::filesystem::copy_file(RCPLAUNCHER_SIM_PATH, launcher());
  }

  const std::filesystem::path& temp() const { return temp_.path(); }
  const std::filesystem::path& rcpHome() const { return rcpHome_; }
  std::filesystem::path launcher() const { return rcpHome_ / "rcplauncher"; }
  std::filesystem::path plugins() const { return rcpHome_ / "eclipse" / "plugins"; }
  std::filesystem::path updateManifest() const { return rcpHome_ / "deploy" / "install.update.xml"; }
  std::filesystem::path resultFile() const { return rcpHome_.parent_path() / ".provisioning_rc"; }
  std::filesystem::path journalFile() const { return rcpHome_.parent_path() / rcpsim::kJournalName; }

  // The text of ".provisioning_rc"; none when there is none.
  std::optional<std::string> resultText() const {
    std::ifstream in(resultFile());
    if (!in) return std::nullopt;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  std::vector<std::vector<std::string>> journal() const {
    return rcpsim::readJournal(journalFile().string()).value_or(std::vector<std::vector<std::string>>{{"<bad journal>"}});
  }

  // Stages an update manifest whose features are given as XML "feature" elements.
  void stageUpdateManifest(const std::string& featureElements) const {
    std::ofstream(updateManifest()) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                       "<manifest><domain-object><object-data><install>\n"
                                       "<installfeature id=\"com.norq.addon.one\" version=\"1.0.0\"><requirements>\n"
                                    << featureElements
                                    << "</requirements></installfeature>\n"
                                       "</install></object-data></domain-object></manifest>\n";
  }

  // A plug-in folder "<site>/plugins/<name>" holding one file, as an update site offers it.
  static void addSitePlugin(const std::filesystem::path& site, const std::string& name) {
    std::filesystem::create_directories(site / "plugins" / name / "META-INF");
    std::ofstream(site / "plugins" / name / "META-INF" / "MANIFEST.MF") << "Bundle-SymbolicName: " << name << "\n";
  }

 private:
  TempDir temp_;
  std::filesystem::path rcpHome_;
};

}  // namespace testing_support
