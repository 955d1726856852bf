#include "installer/addon/AddonToolStartup.h"

#include <errno.h>
#include <sys/stat.h>

#include <utility>
#include <vector>

#include "installer/addon/AddonConstants.h"
#include "installer/support/InstallUtil.h"
#include "installer/support/InstanceService.h"
#include "installer/files/PackageReader.h"
#include "installer/files/PathText.h"
#include "installer/support/RunLogFileName.h"
#include "platform/DescriptorBytes.h"
#include "platform/FixedPathFile.h"
#include "platform/PropertyListFile.h"
#include "platform/SystemLog.h"

namespace addon {

namespace {

std::optional<std::string> position(int argc, const char* const* argv, int index) {
  if (index >= argc || argv[index] == nullptr || argv[index][0] == '\0') return std::nullopt;
  return std::string(argv[index]);
}

bool fileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

// The configuration holds texts only: values of other types are left out (and so count as
// absent), so that both programs see the same string dictionary.
AddonConfiguration loadConfigurationFile(int fd, const std::string& path) {
  AddonConfiguration configuration;
  std::optional<std::string> bytes = platform::readWhole(fd, platform::PropertyListFile::kMaxFileBytes);
  std::optional<platform::PlistValue> root =
      bytes ? platform::PropertyListFile::parse(*bytes) : std::nullopt;
  const platform::PlistDictionary* entries = root ? root->asDictionary() : nullptr;
  if (entries == nullptr) {
    platform::SystemLog::log(kLevelWarning, "Cannot read %s as a dictionary property list.",
                             path.c_str());
    return configuration;
  }
  for (const auto& [key, value] : *entries) {
    if (value.asString() == nullptr) {
      platform::SystemLog::log(kLevelWarning, "Ignoring %s in %s: the value is not a string.",
                               key.c_str(), path.c_str());
      continue;
    }
    configuration.emplace(key, value);
  }
  return configuration;
}

bool hasValue(const AddonConfiguration& configuration, const char* key) {
  std::optional<std::string> value = configurationValue(configuration, key);
  return value && !value->empty();
}

void setDefault(AddonConfiguration& configuration, const char* key, std::string value) {
  if (!hasValue(configuration, key)) configuration.insert_or_assign(key, std::move(value));
}

std::string defaultManifest(const AddonConfiguration& configuration, const char* stem) {
  std::optional<std::string> id = configurationValue(configuration, kKeyID);
  std::string name = id ? std::string(stem) + "." + *id + kManifestExtension
                        : std::string(stem) + kManifestExtension;
  return appendPathComponent(kDefaultManifestFolder, name);
}

}  // namespace

AddonCommandLine readAddonCommandLine(int argc, const char* const* argv) {
  return AddonCommandLine{
      .packagePath = position(argc, argv, kPositionPackagePath),
      .destination = position(argc, argv, kPositionDestination),
      .frameworkLocation = position(argc, argv, kPositionFrameworkLocation),
      .targetBundle = position(argc, argv, kPositionTargetBundle),
  };
}

std::optional<std::string> configurationValue(const AddonConfiguration& configuration,
                                              const char* key) {
  auto entry = configuration.find(key);
  if (entry == configuration.end()) return std::nullopt;
  return entry->second.stringValue();
}

AddonConfiguration readAddonConfiguration(const std::optional<std::string>& packagePath) {
  if (!packagePath) return {};
  return readAddonConfiguration(packagePath, support::PackageReader::ofPackage(packagePath));
}

AddonConfiguration readAddonConfiguration(const std::optional<std::string>& packagePath,
                                          const support::PackageReader& reader) {
  if (!packagePath) return {};
  std::string file = appendPathComponent(
      appendPathComponent(*packagePath, kConfigurationFolder), kConfigurationFileName);
  // Read as the package's maker: a file they could not read is as good as none.
  platform::UniqueFd fd = reader.openQuietly(file, support::PackageReader::Kind::kFile);
  if (!fd.valid()) {
    if (errno != ENOENT) {
      platform::SystemLog::log(kLevelWarning, "Not reading %s: the package's owner could not read it",
                               file.c_str());
    }
    return {};
  }
  AddonConfiguration configuration = loadConfigurationFile(fd.get(), file);
  initializeDefaultValues(configuration);
  support::InstallUtil::replacePackageVariableWithInProperties(packagePath, configuration);
  return configuration;
}

// "keystore" and "extras" follow the install manifest in effect, still unresolved.
void initializeDefaultValues(AddonConfiguration& configuration) {
  setDefault(configuration, kKeyInstallManifest,
             defaultManifest(configuration, kDefaultInstallManifestStem));
  setDefault(configuration, kKeyUninstallManifest,
             defaultManifest(configuration, kDefaultUninstallManifestStem));
  setDefault(configuration, kKeyPluginCustomization, kDefaultPluginCustomization);
  std::string manifestFolder =
      support::path_text::deletingLastPathComponent(*configurationValue(configuration, kKeyInstallManifest));
  setDefault(configuration, kKeyKeystore, manifestFolder);
  setDefault(configuration, kKeyEmbedded, kDefaultEmbedded);
  setDefault(configuration, kKeyExtras, appendPathComponent(manifestFolder, kExtrasFolderName));
  setDefault(configuration, kKeyUpdateSiteList, kDefaultUpdateSiteList);
  setDefault(configuration, kKeyFrameworkLocation, kDefaultFrameworkLocation);
  setDefault(configuration, kKeyTargetVersion, kDefaultTargetVersion);
}

std::string installLogFilePath(const AddonConfiguration& configuration) {
  std::optional<std::string> id = configurationValue(configuration, kKeyID);
  return support::runLogFilePath(id, kInstallLogFileSuffix, kAddonLogFilePath);
}

AddonLogFile setupLogFile(const AddonConfiguration& configuration) {
  return AddonLogFile(installLogFilePath(configuration));
}

std::optional<std::string> getPathToRcpHome(const std::optional<std::string>& destination,
                                            const AddonConfiguration& configuration) {
  std::optional<std::string> targetBundle = configurationValue(configuration, kKeyTargetBundle);
  if (!targetBundle || !destination) return std::nullopt;
  std::string frameworkLocation =
      configurationValue(configuration, kKeyFrameworkLocation).value_or("");
  std::string bundle = appendPathComponent(*destination, *targetBundle + kBundleExtension);
  return appendPathComponent(appendPathComponent(bundle, frameworkLocation), kRcpFolderName);
}

std::optional<std::string> locateRcpHome(const AddonCommandLine& commandLine,
                                         const AddonConfiguration& configuration) {
  if (commandLine.frameworkLocation) return *commandLine.frameworkLocation + kRcpFolderSuffix;
  return getPathToRcpHome(commandLine.destination, configuration);
}

bool instanceExistAtLocation(const std::optional<std::string>& rcpHome) {
  if (!rcpHome || !fileExists(*rcpHome)) return false;
  return support::InstanceService(rcpHome).hasInstanceInstalled();
}

}  // namespace addon
