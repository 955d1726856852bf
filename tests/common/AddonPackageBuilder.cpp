#include "common/AddonPackageBuilder.h"

#include <fstream>
#include <stdexcept>

#include "platform/PropertyListFile.h"

namespace testing_support {

namespace fs = std::filesystem;

namespace {

void writeText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

AddonPackageBuilder::AddonPackageBuilder(fs::path parent, std::string packageName)
    : parent_(std::move(parent)), packageName_(std::move(packageName)) {}

AddonPackageBuilder& AddonPackageBuilder::set(const std::string& key, platform::PlistValue value) {
  configuration_.insert_or_assign(key, std::move(value));
  return *this;
}
AddonPackageBuilder& AddonPackageBuilder::withoutConfiguration() {
  writeConfiguration_ = false;
  return *this;
}
AddonPackageBuilder& AddonPackageBuilder::rawConfiguration(std::string bytes) {
  rawConfiguration_ = std::move(bytes);
  return *this;
}
AddonPackageBuilder& AddonPackageBuilder::deployFile(const std::string& name, std::string contents) {
  deployFiles_.insert_or_assign(name, std::move(contents));
  return *this;
}

BuiltPackage AddonPackageBuilder::build() const {
  BuiltPackage built;
  built.package = parent_ / packageName_;
  built.deploy = parent_ / "deploy";
  built.configurationFile = built.package / "Contents" / "Resources" / "addon_configuration.plist";
  fs::create_directories(built.configurationFile.parent_path());
  fs::create_directories(built.deploy);
  if (rawConfiguration_) {
    writeText(built.configurationFile, *rawConfiguration_);
  } else if (writeConfiguration_) {
    if (platform::PropertyListFile::write(built.configurationFile.string(), configuration_)) {
      throw std::runtime_error("cannot write " + built.configurationFile.string());
    }
  }
  for (const auto& [name, contents] : deployFiles_) writeText(built.deploy / name, contents);
  return built;
}

}  // namespace testing_support
