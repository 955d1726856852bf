// InstanceService: the files an installation puts into an instance (link files, agent and JVM
// settings, key stores, add-on extras, plug-in customization) and the ownership repair that
// follows every provisioning run.
#include <limits.h>
#include <stdlib.h>

#include <cstdlib>
#include <memory>

#include "installer/support/InstallUtil.h"
#include "installer/support/InstanceFiles.h"
#include "installer/support/InstanceService.h"
#include "installer/support/JavaProperties.h"
#include "installer/support/StringUtil.h"
#include "installer/support/SupportConstants.h"
#include "platform/SystemLog.h"

namespace support {
namespace {

namespace files = InstanceFiles;
using platform::SystemLog::log;

std::string inRcphome(const std::string& rcphome, const std::string& relative) {
  return files::appendPathComponent(rcphome, relative);
}

std::string sharedFolderOf(const std::string& rcphome) {
  return files::appendPathComponent(files::deletingLastPathComponent(rcphome), kSharedFolderName);
}

// Rewrites one link file; other keys already in it stay.
void writeLinkFile(const std::string& path, const std::string& location) {
  JavaProperties link(path);
  link.setPropertyForKey(location, kLinkPathKey);
  link.savePropertiesToFile();
}

// A folder inside the rcp home that files are written into: made with the standard attributes
// when missing, and never a link, so nothing written there lands elsewhere.
bool ensureFolder(const std::string& path, const std::optional<std::string>& owner) {
  if (files::isRealDirectory(path)) return true;
  if (files::existsNoFollow(path) || !owner) return false;
  return !files::createFolderWithStandardAttributes(path, *owner);
}

std::vector<std::string> keystoreNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& name : files::folderEntries(folder)) {
    if (InstallUtil::hasPrefixCaseInsensitivePrefix(name, kKeystorePrefix)) names.push_back(name);
  }
  return names;
}

std::optional<std::string> resolvedPath(const std::string& path) {
  struct FreeDeleter {
    void operator()(char* text) const { ::free(text); }
  };
  std::unique_ptr<char, FreeDeleter> resolved(::realpath(path.c_str(), nullptr));
  if (!resolved) return std::nullopt;
  return std::string(resolved.get());
}

// The workspace comes from settings the instance's owner can edit, and its repair runs as root:
// only a folder strictly below the home folder it was expanded with qualifies, judged with
// every link resolved. The resolved path is what gets repaired.
std::optional<std::string> workspaceInsideHome(const std::string& workspace,
                                               const std::string& home) {
  auto realHome = resolvedPath(home);
  auto realWorkspace = resolvedPath(workspace);
  if (!realHome || !realWorkspace || *realHome == "/") return std::nullopt;
  const std::string prefix = *realHome + "/";
  if (realWorkspace->compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  return realWorkspace;
}

void repairWorkspace(const std::string& rcphome) {
  const std::string settings = inRcphome(rcphome, kLauncherPropertiesName);
  if (!files::exists(settings)) return;
  auto data = JavaProperties(settings).getPropertyForKey(kWorkspaceKey);
  const char* home = std::getenv("HOME");
  if (!data || home == nullptr) return;

  const std::string workspace =
      StringUtil::stringByReplacingOccurrencesOfStringTargetWithString(*data, kHomeVariable, home);
  auto inside = workspaceInsideHome(workspace, home);
  if (!inside) {
    log(platform::kLogWarning, "Not changing the owner of workspace %s: not inside %s",
        workspace.c_str(), home);
    return;
  }
  InstallUtil::changeAttributesForDirectory(*inside);
}

}  // namespace

bool InstanceService::generateLinks() const {
  if (!_pathToRcphome) return false;
  if (!files::isDirectory(inRcphome(*_pathToRcphome, kEclipseFolder))) return false;

  const std::string links = inRcphome(*_pathToRcphome, kLinksFolder);
  auto owner = files::userOrLoginName();
  if (!ensureFolder(links, owner.value_or(kStandardOwnerFallback))) {
    log(platform::kLogWarning, "Not able to create links directory");
    return false;
  }
  writeLinkFile(files::appendPathComponent(links, kRcpLinkName), *_pathToRcphome);
  writeLinkFile(files::appendPathComponent(links, kSharedLinkName), sharedFolderOf(*_pathToRcphome));
  return true;
}

bool InstanceService::copyOgsiAgentProperties(const std::string& templatePath) const {
  if (!_pathToRcphome) return false;
  if (!files::exists(templatePath)) {
    log(platform::kLogError, "Not able to find template for osgiagent.properties");
    return false;
  }
  if (!files::isDirectory(*_pathToRcphome)) return false;
  return !files::copyItemNoOverwrite(templatePath, inRcphome(*_pathToRcphome, kAgentSettingsName));
}

bool InstanceService::generateJVMPropertiesWithTemplate(
    const std::optional<std::string>& templatePath) const {
  if (!_pathToRcphome || !files::isDirectory(*_pathToRcphome)) return false;
  const std::string deploy = inRcphome(*_pathToRcphome, kDeployFolder);
  auto owner = files::loginName();
  if (!ensureFolder(deploy, owner)) return false;

  const std::string target = files::appendPathComponent(deploy, kJvmSettingsName);
  if (templatePath && files::exists(*templatePath)) {
    return !files::copyItemNoOverwrite(*templatePath, target);
  }
  return owner && !files::replaceFileWithStandardAttributes(target, "", *owner);
}

void InstanceService::copyKeyStores(const std::string& folder) const {
  if (!_pathToRcphome) return;  // no instance to put them in
  log(platform::kLogInfo, ".keystore source files are in %s.", folder.c_str());

  const std::string deploy = inRcphome(*_pathToRcphome, kDeployFolder);
  for (const auto& name : keystoreNames(deploy)) {
    const std::string existing = files::appendPathComponent(deploy, name);
    files::removeItemNoFollow(existing);
    log(platform::kLogInfo, "Delete existing keystore files '%s' from %s. ", name.c_str(),
        existing.c_str());
  }
  for (const auto& name : keystoreNames(folder)) {
    const std::string source = files::appendPathComponent(folder, name);
    const std::string target = files::appendPathComponent(deploy, name);
    files::copyItemNoOverwrite(source, target);
    log(platform::kLogInfo, "Copy keystore file '%s' from %s to %s.", name.c_str(), source.c_str(),
        target.c_str());
  }
}

void InstanceService::copyExtras(const std::string& folder) const {
  if (!_pathToRcphome || !files::isDirectory(folder) || files::folderEntries(folder).empty()) return;
  const std::string target = inRcphome(*_pathToRcphome, kExtrasFolder);
  log(platform::kLogInfo, "Begin to copy files from %s to %s ", folder.c_str(), target.c_str());
  InstallUtil::copyFolderFromTo(folder, target);
}

void InstanceService::updatePermissionsUpdateWorkspace(bool updateInstance,
                                                       bool updateWorkspace) const {
  if (!_pathToRcphome) return;
  if (updateInstance) {
    InstallUtil::changeAttributesForDirectory(*_pathToRcphome);
    InstallUtil::changeAttributesForDirectory(sharedFolderOf(*_pathToRcphome));
  }
  if (updateWorkspace) repairWorkspace(*_pathToRcphome);
}

bool InstanceService::mergePluginCustomizationWithBase(const std::optional<std::string>& path) const {
  if (!_pathToRcphome || !path || !files::exists(*path)) return false;
  auto baseVersion = getBaseVersion();
  if (!baseVersion) return false;

  const std::string baseFolder = inRcphome(*_pathToRcphome, kBasePluginFolderPrefix + *baseVersion);
  const std::string baseFile = files::appendPathComponent(baseFolder, kPluginCustomizationName);
  if (!files::exists(baseFile)) return true;

  JavaProperties customization(baseFile);
  customization.mergeWithJavaProperties(*path);
  customization.savePropertiesToFile(inRcphome(*_pathToRcphome, kPluginCustomizationName));
  return true;
}

bool InstanceService::mergePluginCustomizationWithRcphome(
    const std::optional<std::string>& path) const {
  if (!_pathToRcphome || !path || !files::isDirectory(*_pathToRcphome)) return false;
  const std::string target = inRcphome(*_pathToRcphome, kPluginCustomizationName);
  if (files::exists(target)) {
    JavaProperties customization(target);
    customization.mergeWithJavaProperties(*path);
    customization.savePropertiesToFile();
    return true;
  }
  files::copyItemNoOverwrite(*path, target);  // a missing customization file leaves none
  return true;
}

}  // namespace support
