#pragma once
// Makes an add-on package beside a "deploy" folder, as the add-on tools expect it:
//   <parent>/<package>/Contents/Resources/addon_configuration.plist
//   <parent>/deploy/<files>
//
//   auto package = AddonPackageBuilder(dir).set("ID", "a.b").set("targetBundle", "Tallo").build();
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "platform/PlistValue.h"

namespace testing_support {

struct BuiltPackage {
  std::filesystem::path package;
  std::filesystem::path deploy;
  std::filesystem::path configurationFile;
};

class AddonPackageBuilder {
 public:
  explicit AddonPackageBuilder(std::filesystem::path parent, std::string packageName = "Addon.pkg");

  AddonPackageBuilder& set(const std::string& key, platform::PlistValue value);
  // No configuration file at all.
  AddonPackageBuilder& withoutConfiguration();
  // The configuration file holds these bytes as they are.
  AddonPackageBuilder& rawConfiguration(std::string bytes);
  AddonPackageBuilder& deployFile(const std::string& name, std::string contents);

  // Writes everything; throws std::runtime_error (test code only) when it cannot.
  BuiltPackage build() const;

 private:
  std::filesystem::path parent_;
  std::string packageName_;
  platform::PlistDictionary configuration_;
  bool writeConfiguration_ = true;
  std::optional<std::string> rawConfiguration_;
  std::map<std::string, std::string> deployFiles_;
};

}  // namespace testing_support
