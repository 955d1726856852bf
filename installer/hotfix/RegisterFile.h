#pragma once
// The register file of a product that embeds the platform:
// "/Library/Application Support/Ostra/<product>/framework.plist", a dictionary of texts that
// tells where the product is installed and which hotfix it carries.
#include <optional>
#include <string>

#include "installer/formats/Properties.h"

namespace hotfix {

class RegisterFile {
 public:
  explicit RegisterFile(const std::string& productName);  // initWithProductName:

  std::optional<std::string> getOldInstallLocation() const;
  std::optional<std::string> getHotfixVersion() const;
  // "oldInstallLocation" with the component "rcp" appended; none when the key is missing.
  std::optional<std::string> getPathToRcpHome() const;
  std::optional<std::string> getProductPath() const;
  void updateHotfixVersion(const std::string& version);
  const std::string& getRegisterDirectory() const { return _registerDirectoryLocation; }

 private:
  std::optional<std::string> textForKey(const char* key) const;

  std::string _registerDirectoryLocation;
  support::Properties _properties;
};

}  // namespace hotfix
