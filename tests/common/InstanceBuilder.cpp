#include "common/InstanceBuilder.h"

#include <fstream>
#include <stdexcept>

#include "platform/PropertyListFile.h"

namespace testing_support {

namespace fs = std::filesystem;

namespace {

void writePlist(const fs::path& path, const platform::PlistValue& value) {
  if (platform::PropertyListFile::write(path.string(), value)) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

void writeText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

platform::PlistValue registryOf(const std::vector<AddonRecord>& records) {
  platform::PlistArray addons;
  for (const AddonRecord& record : records) {
    platform::PlistDictionary fields{{"ID", record.id}};
    if (record.version) fields.emplace("version", *record.version);
    if (record.uninstallManifest) fields.emplace("uninstallManifest", *record.uninstallManifest);
    addons.emplace_back(std::move(fields));
  }
  return platform::PlistDictionary{{"addons", std::move(addons)}};
}

}  // namespace

InstanceBuilder::InstanceBuilder(fs::path destination) : destination_(std::move(destination)) {}

InstanceBuilder& InstanceBuilder::bundleName(std::string name) {
  bundleName_ = std::move(name);
  return *this;
}
InstanceBuilder& InstanceBuilder::frameworkLocation(std::string relativeFolder) {
  frameworkLocation_ = std::move(relativeFolder);
  return *this;
}
InstanceBuilder& InstanceBuilder::targetVersion(std::optional<std::string> version) {
  targetVersion_ = std::move(version);
  return *this;
}
InstanceBuilder& InstanceBuilder::installedVersion(std::optional<std::string> version) {
  installedVersion_ = std::move(version);
  return *this;
}
InstanceBuilder& InstanceBuilder::hotfixVersion(std::string version) {
  hotfixVersion_ = std::move(version);
  return *this;
}
InstanceBuilder& InstanceBuilder::basePlugins(std::vector<std::string> versions) {
  basePlugins_ = std::move(versions);
  return *this;
}
InstanceBuilder& InstanceBuilder::withoutInstallManifest() {
  installManifest_ = false;
  return *this;
}
InstanceBuilder& InstanceBuilder::addonRecord(AddonRecord record) {
  addons_.push_back(std::move(record));
  return *this;
}
InstanceBuilder& InstanceBuilder::launcher(fs::path program) {
  launcher_ = std::move(program);
  return *this;
}

BuiltInstance InstanceBuilder::build() const {
  BuiltInstance built;
  built.destination = destination_;
  built.bundle = destination_ / (bundleName_ + ".app");
  built.installLocation = built.bundle / frameworkLocation_;
  built.rcpHome = built.installLocation / "rcp";
  built.executable = built.bundle / "Contents" / "MacOS" / bundleName_;

  fs::create_directories(built.rcpHome / "deploy");
  fs::create_directories(built.rcpHome / "eclipse" / "plugins");
  if (targetVersion_) {
    writePlist(built.bundle / "Contents" / "Info.plist",
               platform::PlistDictionary{{"CFBundleShortVersionString", *targetVersion_},
                                         {"CFBundleExecutable", bundleName_}});
  }
  if (installManifest_) {
    writeText(built.rcpHome / "deploy" / "install.xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<install/>\n");
  }
  if (installedVersion_ || hotfixVersion_) {
    platform::PlistDictionary info;
    if (installedVersion_) info.emplace("version", *installedVersion_);
    if (hotfixVersion_) info.emplace("hotfixVersion", *hotfixVersion_);
    writePlist(built.rcpHome / "installInfo.plist", info);
  }
  for (const std::string& version : basePlugins_) {
    fs::create_directories(built.rcpHome / "eclipse" / "plugins" / ("com.norq.rcp.base_" + version));
  }
  if (!addons_.empty()) writePlist(built.rcpHome / "addonInfo.plist", registryOf(addons_));
  if (launcher_) {
    fs::copy_file(*launcher_, built.rcpHome / "rcplauncher", fs::copy_options::overwrite_existing);
    fs::permissions(built.rcpHome / "rcplauncher", fs::perms(0755));
  }
  return built;
}

}  // namespace testing_support
