// InstanceService: the files an installation puts into an instance (link files, agent and JVM
// settings, key stores, add-on extras, plug-in customization) and the ownership repair that
// follows every provisioning run.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "installer/support/InstallUtil.h"
#include "installer/files/InstanceFiles.h"
#include "installer/support/InstanceService.h"
#include "installer/formats/JavaProperties.h"
#include "installer/formats/JavaPropertiesText.h"
#include "installer/files/PackageReader.h"
#include "installer/files/RegularFileBytes.h"
#include "installer/formats/StringUtil.h"
#include "installer/support/SupportConstants.h"
#include "installer/formats/Utf16.h"
#include "platform/DescriptorBytes.h"
#include "platform/PathBeneath.h"
#include "platform/SystemLog.h"
#include "platform/UniqueFd.h"

namespace support {
namespace {

namespace files = InstanceFiles;
using platform::SystemLog::log;

constexpr int kOpenFolder = O_RDONLY | O_DIRECTORY;
constexpr int kOpenFolderNoFollow = kOpenFolder | O_NOFOLLOW | O_CLOEXEC;

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

std::vector<std::string> keystoreNames(const std::vector<std::string>& entries) {
  std::vector<std::string> names;
  for (const auto& name : entries) {
    if (InstallUtil::hasPrefixCaseInsensitivePrefix(name, kKeystorePrefix)) names.push_back(name);
  }
  return names;
}

// The workspace value with "${env.HOME}" anywhere, and a leading "~", standing for the home.
std::string expandWorkspace(const std::string& value, const std::string& home) {
  std::string workspace =
      StringUtil::stringByReplacingOccurrencesOfStringTargetWithString(value, kHomeVariable, home);
  if (workspace == "~" || workspace.starts_with("~/")) workspace.replace(0, 1, home);
  return workspace;
}

constexpr int kOpenFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr const char* kRefusedSourceFile =
    "not a regular file of one link that the package's owner could read";

// A folder files are copied from: out of a package with its owner's rights, else as named.
platform::UniqueFd openSourceFolder(const std::string& folder, const PackageReader* reader) {
  if (reader != nullptr) return reader->openSource(folder, PackageReader::Kind::kFolder);
  return platform::UniqueFd(::open(folder.c_str(), kOpenFolderFlags));
}

// A file copied out of a source folder: a regular file of one link, never a link, and one the
// package's maker (if any) could read.
platform::UniqueFd openSourceFileIn(int folderFd, const std::string& name,
                                    const PackageReader* reader) {
  constexpr int kFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  // Out of a package, opened as its maker: the kernel applies their rights (ACLs too).
  platform::UniqueFd fd = reader != nullptr ? reader->openAt(folderFd, name.c_str(), kFlags)
                                            : platform::UniqueFd(::openat(folderFd, name.c_str(), kFlags));
  struct stat status {};
  if (!fd.valid() || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
      status.st_nlink != 1 || (reader != nullptr && !reader->mayRead(status))) {
    return platform::UniqueFd();
  }
  return fd;
}

// A customization file to merge or copy: a regular file of one link, never reached through a
// link at its name; out of a package, one its owner could read.
platform::UniqueFd openCustomization(const std::string& path, const PackageReader* reader) {
  if (reader != nullptr) return reader->openSource(path, PackageReader::Kind::kFile);
  return openRegularFile(path);
}

// The named components of an absolute path: no root, no empty or "." component.
std::vector<std::string> pathComponents(const std::string& path) {
  std::vector<std::string> components;
  for (const std::filesystem::path& part : std::filesystem::path(path).relative_path()) {
    if (!part.empty() && part != ".") components.push_back(part.string());
  }
  return components;
}

// The workspace's path relative to the home folder when, as written, it lies strictly below
// it; none otherwise. Whether it really does is settled when it is opened from the home.
std::optional<std::string> workspaceBelowHome(const std::string& workspace,
                                              const std::string& home) {
  if (workspace.empty() || workspace.front() != '/' || home.empty() || home.front() != '/') {
    return std::nullopt;
  }
  const std::vector<std::string> homeParts = pathComponents(home);
  const std::vector<std::string> parts = pathComponents(workspace);
  if (homeParts.empty() || parts.size() <= homeParts.size() ||
      !std::equal(homeParts.begin(), homeParts.end(), parts.begin())) {
    return std::nullopt;
  }
  std::string relative;
  for (std::size_t i = homeParts.size(); i < parts.size(); ++i) {
    relative += (relative.empty() ? "" : "/") + parts[i];
  }
  return relative;
}

void reportWorkspaceNotOpened(const std::string& workspace, const std::string& home, int error) {
  if (error == ENOENT) return;  // no workspace yet: nothing to repair
  if (error == EXDEV) {
    log(platform::kLogWarning, "Not changing the owner of workspace %s: not inside %s",
        workspace.c_str(), home.c_str());
  } else if (error == ELOOP) {
    log(platform::kLogWarning, "Not changing the owner of workspace %s: a link on its path",
        workspace.c_str());
  } else {
    log(platform::kLogWarning, "Not changing the owner of workspace %s: %s", workspace.c_str(),
        std::strerror(error));
  }
}

// The workspace comes from settings the instance's owner can edit, and its repair runs as root.
// It is opened from the home folder one component at a time, never through a link and never
// out of the home, and the walk runs below that descriptor: no name is looked up again, so a
// folder on the path swapped for a link meanwhile leads nowhere.
void repairWorkspace(const std::string& rcphome) {
  const std::string settings = inRcphome(rcphome, kLauncherPropertiesName);
  if (!files::exists(settings)) return;
  auto data = JavaProperties(settings).getPropertyForKey(kWorkspaceKey);
  const char* home = std::getenv("HOME");
  if (!data || home == nullptr) return;

  const std::string workspace = expandWorkspace(*data, home);
  auto relative = workspaceBelowHome(workspace, home);
  if (!relative) return reportWorkspaceNotOpened(workspace, home, EXDEV);
  platform::UniqueFd homeFolder(::open(home, kOpenFolderNoFollow));
  platform::UniqueFd folder =
      homeFolder.valid() ? platform::openBeneath(homeFolder.get(), *relative, kOpenFolder)
                         : platform::UniqueFd();
  if (!folder.valid()) return reportWorkspaceNotOpened(workspace, home, errno);
  InstallUtil::changeAttributesBelowFolder(std::move(folder), workspace);
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

// The new key stores replace the old ones of the same name in one rename each; the old ones
// the package does not bring go only once every new one is in place. A copy that fails keeps
// every key store there was. A package without its key store folder brings none: the old ones
// go, as the platform expects.
bool InstanceService::copyKeyStores(const std::string& folder,
                                    const PackageReader* packageReader) const {
  if (!_pathToRcphome) return true;  // no instance to put them in
  log(platform::kLogInfo, ".keystore source files are in %s.", folder.c_str());

  const std::string deploy = inRcphome(*_pathToRcphome, kDeployFolder);
  platform::UniqueFd sourceFolder = openSourceFolder(folder, packageReader);
  if (!sourceFolder.valid() && files::existsNoFollow(folder)) {
    log(platform::kLogError, "Fail to copy key stores from %s: it cannot be read. The key stores "
        "are left unchanged.", folder.c_str());
    return false;
  }
  std::vector<std::string> copied;
  if (sourceFolder.valid()) copied = keystoreNames(files::folderEntriesOf(sourceFolder.get()));
  bool complete = true;
  for (const auto& name : copied) {
    const std::string source = files::appendPathComponent(folder, name);
    const std::string target = files::appendPathComponent(deploy, name);
    platform::UniqueFd file = openSourceFileIn(sourceFolder.get(), name, packageReader);
    std::error_code error = file.valid() ? files::copyOpenFileReplacing(file.get(), target)
                                         : std::error_code();
    if (!file.valid() || error) {
      log(platform::kLogError, "Fail to copy keystore file %s to %s: %s.", source.c_str(),
          target.c_str(), file.valid() ? error.message().c_str() : kRefusedSourceFile);
      complete = false;
      continue;
    }
    log(platform::kLogInfo, "Copy keystore file '%s' from %s to %s.", name.c_str(), source.c_str(),
        target.c_str());
  }
  if (!complete) return false;
  for (const auto& name : keystoreNames(files::folderEntries(deploy))) {
    if (std::find(copied.begin(), copied.end(), name) != copied.end()) continue;
    const std::string existing = files::appendPathComponent(deploy, name);
    files::removeItemNoFollow(existing);
    log(platform::kLogInfo, "Delete existing keystore files '%s' from %s. ", name.c_str(),
        existing.c_str());
  }
  return true;
}

bool InstanceService::copyExtras(const std::string& folder,
                                 const PackageReader* packageReader) const {
  if (!_pathToRcphome || !files::isDirectory(folder)) return true;
  platform::UniqueFd source = openSourceFolder(folder, packageReader);
  if (!source.valid()) {
    log(platform::kLogError, "Fail to copy files from %s: %s.", folder.c_str(), std::strerror(errno));
    return false;
  }
  if (files::folderEntriesOf(source.get()).empty()) return true;
  const std::string target = inRcphome(*_pathToRcphome, kExtrasFolder);
  log(platform::kLogInfo, "Begin to copy files from %s to %s ", folder.c_str(), target.c_str());
  return InstallUtil::copyOpenFolderTo(std::move(source), target, packageReader);
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
    const std::optional<std::string>& path, const PackageReader* packageReader) const {
  if (!_pathToRcphome || !path || !files::isDirectory(*_pathToRcphome)) return false;
  const std::string target = inRcphome(*_pathToRcphome, kPluginCustomizationName);
  platform::UniqueFd source = openCustomization(*path, packageReader);
  if (files::exists(target)) {
    JavaProperties customization(target);
    std::optional<std::string> bytes;
    if (source.valid()) bytes = platform::readWhole(source.get(), kJavaPropertiesSizeCap);
    if (bytes) {
      properties_text::parse(*bytes, [&customization](properties_text::Entry& entry) {
        customization.setPropertyForKey(utf16::toUtf8(entry.value), utf16::toUtf8(entry.key));
      });
    }
    // Written back even when there was nothing to merge, as the platform writes it.
    return customization.savePropertiesToFile();
  }
  // A missing or refused customization file leaves none.
  return !source.valid() || !files::copyOpenFileNoOverwrite(source.get(), target);
}

}  // namespace support
