#pragma once
// Makes an installed platform instance on disk for tests and the demo's equivalent:
//   <destination>/<bundle>.app/Contents/Info.plist          (CFBundleShortVersionString)
//   <destination>/<bundle>.app/<framework location>/rcp/
//       deploy/install.xml, installInfo.plist, addonInfo.plist,
//       eclipse/plugins/com.norq.rcp.base_<version>/, rcplauncher (when given)
//
//   auto instance = InstanceBuilder(dir / "Applications").targetVersion("3.0.1").build();
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

struct AddonRecord {
  std::string id;
  std::optional<std::string> version;
  std::optional<std::string> uninstallManifest;
};

struct BuiltInstance {
  std::filesystem::path destination;      // the folder that holds the bundle
  std::filesystem::path bundle;           // <destination>/<name>.app
  std::filesystem::path installLocation;  // the folder that holds "rcp"
  std::filesystem::path rcpHome;
  std::filesystem::path executable;       // <bundle>/Contents/MacOS/<name> (not made)
};

class InstanceBuilder {
 public:
  explicit InstanceBuilder(std::filesystem::path destination);

  InstanceBuilder& bundleName(std::string name);                   // default "Tallo"
  InstanceBuilder& frameworkLocation(std::string relativeFolder);  // default "Contents/MacOS"
  // The bundle's CFBundleShortVersionString; none leaves out Info.plist. Default "3.0.1".
  InstanceBuilder& targetVersion(std::optional<std::string> version);
  // "version" of installInfo.plist; none leaves out the file. Default "3.0.1".
  InstanceBuilder& installedVersion(std::optional<std::string> version);
  InstanceBuilder& hotfixVersion(std::string version);
  // A base plug-in folder "com.norq.rcp.base_<version>"; default one "3.0.1.20240101".
  InstanceBuilder& basePlugins(std::vector<std::string> versions);
  // Leaves out deploy/install.xml: the rcp home then holds no installed instance.
  InstanceBuilder& withoutInstallManifest();
  InstanceBuilder& addonRecord(AddonRecord record);
  // A program copied to rcp/rcplauncher (mode 0755).
  InstanceBuilder& launcher(std::filesystem::path program);

  // Writes everything; throws std::runtime_error (test code only) when it cannot.
  BuiltInstance build() const;

 private:
  std::filesystem::path destination_;
  std::string bundleName_ = "Tallo";
  std::string frameworkLocation_ = "Contents/MacOS";
  std::optional<std::string> targetVersion_ = "3.0.1";
  std::optional<std::string> installedVersion_ = "3.0.1";
  std::optional<std::string> hotfixVersion_;
  std::vector<std::string> basePlugins_ = {"3.0.1.20240101"};
  bool installManifest_ = true;
  std::vector<AddonRecord> addons_;
  std::optional<std::filesystem::path> launcher_;
};

}  // namespace testing_support
