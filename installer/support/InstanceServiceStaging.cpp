// InstanceService: staging install manifests into "deploy", the provisioning keys of the
// launcher settings "rcplauncher.properties", and the launcher's result file ".provisioning_rc"
// next to the rcp home.
#include <cerrno>
#include <cstdlib>
#include <unistd.h>

#include "installer/formats/InstallManifest.h"
#include "installer/support/InstallUtil.h"
#include "installer/files/InstanceFiles.h"
#include "installer/support/InstanceService.h"
#include "installer/formats/JavaProperties.h"
#include "installer/formats/ManifestDocument.h"
#include "installer/files/PackageReader.h"
#include "installer/files/RegularFileBytes.h"
#include "installer/support/SupportConstants.h"
#include "platform/DescriptorBytes.h"
#include "platform/HomeFolder.h"
#include "platform/SystemLog.h"

namespace support {
namespace {

namespace files = InstanceFiles;
using platform::SystemLog::log;

constexpr int kProvisioningFailed = -1;

std::string inDeploy(const std::string& rcphome, const std::string& name) {
  return files::appendPathComponent(files::appendPathComponent(rcphome, kDeployFolder), name);
}

std::string settingsPath(const std::string& rcphome) {
  return files::appendPathComponent(rcphome, kLauncherPropertiesName);
}

// The launcher writes its result next to the rcp home; "~" is expanded here, as for the
// settings files the launcher itself reads.
std::optional<std::string> resultFilePath(const std::optional<std::string>& rcphome) {
  if (!rcphome) return std::nullopt;
  const std::string expanded = platform::expandTildeInPath(*rcphome);
  if (!files::exists(expanded)) return std::nullopt;
  return files::appendPathComponent(files::deletingLastPathComponent(expanded),
                                    kProvisioningResultName);
}

// Sets one key of existing settings; the settings file is never created here. False when the
// settings exist and could not be written back.
bool setExistingSetting(const std::string& rcphome, const std::string& key,
                        const std::string& value) {
  const std::string path = settingsPath(rcphome);
  if (!files::exists(path)) return true;
  JavaProperties settings(path);
  settings.setPropertyForKey(value, key);
  return settings.savePropertiesToFile();
}

// One fresh manifest version names the provisioning and identifies the install.
void setFreshManifestVersion(JavaProperties& settings) {
  const std::string version = InstallUtil::generateNewManifestVersion();
  settings.setPropertyForKey(version, kInstallIdKey);
  settings.setPropertyForKey(version, kManifestVersionKey);
}

void setBaseLocation(JavaProperties& settings, const std::optional<std::string>& baseVersion) {
  if (baseVersion) settings.setPropertyForKey(kBaseLocationPrefix + *baseVersion, kBaseLocationKey);
}

// The launcher's return code: 0 and 2 are success. Anything that is not a number (an empty
// or damaged result file) is a failure, never a success.
int provisioningResultOf(const std::string& code) {
  const char* text = code.c_str();
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text, &end, 10);
  if (end == text || errno == ERANGE) return kProvisioningFailed;
  return value == 0 || value == 2 ? 0 : kProvisioningFailed;
}

// A manifest to copy: a regular file of one link, never reached through a link at its name;
// out of a package, one its owner could read.
platform::UniqueFd openManifestSource(const std::string& source, const PackageReader* reader) {
  if (reader != nullptr) return reader->openSource(source, PackageReader::Kind::kFile);
  return openRegularFile(source);
}

// False when the bytes behind the descriptor name an outside entity or DTD: the launcher reads
// what is staged with root's rights and might fetch it. The descriptor is left at its start.
bool innocuousForTheLauncher(int fd) {
  const std::optional<std::string> bytes = platform::readWhole(fd, kRecordFileSizeCap);
  if (::lseek(fd, 0, SEEK_SET) != 0) return false;
  return bytes && !manifest_document::mayReferOutside(*bytes);
}

enum class Staged { kForTheLauncher, kAsItIs };

std::error_code copyManifestFile(const std::string& source, const std::string& target,
                                 const PackageReader* reader = nullptr,
                                 Staged staged = Staged::kAsItIs) {
  platform::UniqueFd from = openManifestSource(source, reader);
  if (!from.valid()) return {errno, std::generic_category()};
  if (staged == Staged::kForTheLauncher && !innocuousForTheLauncher(from.get())) {
    log(platform::kLogWarning, "Not staging %s: it declares an external entity or document type",
        source.c_str());
    return std::make_error_code(std::errc::invalid_argument);
  }
  return files::copyOpenFileNoOverwrite(from.get(), target);
}

}  // namespace

bool InstanceService::copyInstallManifestToFileReplaceInstallerRootWith(
    const std::string& source, const std::string& fileName,
    const std::optional<std::string>& installerRoot, const PackageReader* packageReader) const {
  if (!_pathToRcphome || !files::exists(source) || !files::exists(*_pathToRcphome)) return false;
  // The staged name is a single name inside "deploy", never a way out of it.
  if (!files::isPlainFileName(fileName)) return false;

  const std::string target = inDeploy(*_pathToRcphome, fileName);
  files::removeItemNoFollow(target);  // a stale manifest goes; a failure shows in the copy
  log(platform::kLogInfo, "Copying install manifest to %s. ", target.c_str());
  if (copyManifestFile(source, target, packageReader, Staged::kForTheLauncher)) return false;

  if (!installerRoot || !files::exists(*installerRoot)) return true;
  log(platform::kLogInfo, "Updating ${installer.root}. ");
  InstallManifest manifest(target);
  const std::string rootLocation = kInstallerRootScheme + *installerRoot;
  log(platform::kLogInfo, "Get ${installer.root} : %s. ", rootLocation.c_str());
  manifest.replaceInstallerRootWith(rootLocation);
  log(platform::kLogInfo, "Saving install manifest");
  return manifest.saveInstallManifestAs();
}

bool InstanceService::copyUpdateManifestReplaceInstallerRootWith(
    const std::string& source, const std::optional<std::string>& installerRoot,
    const PackageReader* packageReader) const {
  return copyInstallManifestToFileReplaceInstallerRootWith(source, kUpdateManifestName,
                                                           installerRoot, packageReader);
}

bool InstanceService::copyInstallManifestReplaceInstallerRootWith(
    const std::string& source, const std::optional<std::string>& installerRoot) const {
  return copyInstallManifestToFileReplaceInstallerRootWith(source, kInstallManifestName,
                                                           installerRoot);
}

bool InstanceService::copyManifest(const std::string& source,
                                   const PackageReader* packageReader) const {
  if (!_pathToRcphome || !files::exists(source) || !files::exists(*_pathToRcphome)) return false;
  return copyInstallManifestToFileReplaceInstallerRootWith(
      source, files::lastPathComponent(source), std::nullopt, packageReader);
}

bool InstanceService::copyHotfixUninstallManifest(const std::string& source) const {
  if (!_pathToRcphome || !files::exists(source) || !files::exists(*_pathToRcphome)) return false;
  const std::string target = inDeploy(*_pathToRcphome, kHotfixUninstallManifestName);
  files::removeItemNoFollow(target);
  return !copyManifestFile(source, target, nullptr, Staged::kForTheLauncher);
}

void InstanceService::backupInstallManifest() const {
  if (!_pathToRcphome) return;
  const std::string settings = settingsPath(*_pathToRcphome);
  if (!files::exists(settings)) return;

  const std::string version =
      JavaProperties(settings).getPropertyForKey(kManifestVersionKey).value_or(kBackupWithoutVersion);
  const std::string backupName = kBackupManifestPrefix + version + kBackupManifestSuffix;
  // The version comes from a file the instance's owner can edit: it names a file in "deploy"
  // and nothing else.
  if (!files::isPlainFileName(backupName)) {
    log(platform::kLogWarning, "Not able to back up the install manifest as %s",
        backupName.c_str());
    return;
  }
  const std::string current = inDeploy(*_pathToRcphome, kInstallManifestName);
  if (!files::exists(current)) return;
  // An earlier backup of the same version stays: the copy never overwrites.
  copyManifestFile(current, inDeploy(*_pathToRcphome, backupName));
}

bool InstanceService::updateProvisionManifestVersion(const std::string& manifestVersion) const {
  return !_pathToRcphome || setExistingSetting(*_pathToRcphome, kManifestVersionKey, manifestVersion);
}

void InstanceService::updateInstallID(const std::string& installID) const {
  if (_pathToRcphome) setExistingSetting(*_pathToRcphome, kInstallIdKey, installID);
}

bool InstanceService::updateRcpLauncherProperties() const {
  if (!_pathToRcphome || !files::isDirectory(*_pathToRcphome)) return false;
  const std::string path = settingsPath(*_pathToRcphome);
  if (!files::exists(path)) return false;

  JavaProperties settings(path);
  setFreshManifestVersion(settings);
  setBaseLocation(settings, getBaseVersion());
  return settings.savePropertiesToFile();
}

bool InstanceService::generateRcplauncherPropertiesWithTemplateWorkspace(
    const std::string& templatePath, const std::optional<std::string>& workspace) const {
  if (!_pathToRcphome) return false;
  if (!files::exists(templatePath)) {
    log(platform::kLogError, "Fail to locate template for rcplauncher.properties");
    return false;
  }
  const std::string path = settingsPath(*_pathToRcphome);
  if (copyManifestFile(templatePath, path)) {
    log(platform::kLogError, "Fail to copy rcplauncher.properties to %s. ", path.c_str());
    return false;
  }

  log(platform::kLogInfo, "Updating rcplauncher.properties. ");
  JavaProperties settings(path);
  setFreshManifestVersion(settings);
  settings.setPropertyForKey(kProvisioningManifestLocation, kProvisioningManifestKey);
  setBaseLocation(settings, getBaseVersion());
  if (workspace) settings.setPropertyForKey(*workspace, kWorkspaceKey);
  log(platform::kLogInfo, "Saving rcplauncher.properties. ");
  settings.savePropertiesToFile();
  return true;
}

void InstanceService::removeProvisionRCFile() const {
  if (auto path = resultFilePath(_pathToRcphome)) files::removeItemNoFollow(*path);
}

int InstanceService::getProvisioningResult() const {
  auto path = resultFilePath(_pathToRcphome);
  if (!path || !files::exists(*path)) return kProvisioningFailed;
  auto code = JavaProperties(*path).getPropertyForKey(kResultCodeKey);
  if (!code) return kProvisioningFailed;
  return provisioningResultOf(*code);
}

}  // namespace support
