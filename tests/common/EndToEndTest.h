#pragma once
// What the end-to-end tests of the programs share: a fresh folder, a fresh private mount
// namespace for each run, the simulated launcher at its defaults, and the add-on "a.b" 1.0 for
// the bundle "Tallo", whose manifests fetch its one feature from the package's update site
// "${installer.root}/../../updates/platform".
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/AddonPackageBuilder.h"
#include "common/FileHelpers.h"
#include "common/PrivateNamespace.h"
#include "common/TempDir.h"

namespace testing_support {

// The folder of the add-on's plug-in on its update site.
inline constexpr const char* kAddonPlugin = "com.norq.addon.ab_1.0.0";

// An update manifest whose one feature, the add-on's, is fetched from the package's update site.
inline std::string addonManifest(const std::string& action = "install") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<manifest><domain-object><object-data><install>\n"
         "<installfeature id=\"a.b\" version=\"1.0\"><requirements>\n"
         "<feature id=\"com.norq.addon.ab\" version=\"1.0.0\" action=\"" + action +
         "\" url=\"${installer.root}/../../updates/platform\"/>\n"
         "</requirements></installfeature>\n"
         "</install></object-data></domain-object></manifest>\n";
}

class EndToEndTest : public ::testing::Test {
 protected:
  // The simulated launcher updates and reports success unless a test sets one of its switches.
  static void resetLauncherSwitches() {
    for (const char* name : {"RCPSIM_FORCE_RC", "RCPSIM_NO_RESULT", "RCPSIM_KILL_IN", "RCPSIM_KILL_RUN",
                             "RCPSIM_FILL_DISK"}) {
      ::unsetenv(name);
    }
  }

  // The add-on's plug-in on the update site "<root>/updates/platform", which a package in
  // "<root>/media" names by default.
  static void offerAddonPlugin(const std::filesystem::path& root) {
    writeFile(root / "updates/platform/plugins" / kAddonPlugin / "plugin.xml", "<plugin/>");
  }

  // The package "Addon.pkg" under `parent` with ID a.b, version 1.0 and target bundle Tallo; the
  // builder may change or add entries.
  static AddonPackageBuilder addonPackage(const std::filesystem::path& parent) {
    return AddonPackageBuilder(parent).set("ID", "a.b").set("version", "1.0").set("targetBundle", "Tallo");
  }

  // The same with the install and uninstall manifests of the add-on in its "deploy" folder.
  static AddonPackageBuilder addonPackageWithManifests(const std::filesystem::path& parent) {
    return addonPackage(parent)
        .deployFile("install.a.b.xml", addonManifest("install"))
        .deployFile("uninstall.a.b.xml", addonManifest("uninstall"));
  }

  // A private mount namespace for the next run; its results go to "<dir_>/<prefix><n>".
  PrivateNamespace freshNamespace(const std::string& prefix = "ns") {
    return PrivateNamespace(dir_.path() / (prefix + std::to_string(sessions_++)));
  }

  TempDir dir_;
  int sessions_ = 0;
};

}  // namespace testing_support
