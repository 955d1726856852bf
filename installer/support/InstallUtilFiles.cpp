// File, version and provisioning helpers of InstallUtil. None of them writes a log line; a
// failure shows only in the result, or not at all where there is none.
#include <fcntl.h>
#include <grp.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "installer/files/AttributeRepair.h"
#include "installer/support/CommandLineWords.h"
#include "installer/support/InstallUtil.h"
#include "installer/formats/ManifestClock.h"
#include "installer/files/PathText.h"
#include "installer/files/TreeCopier.h"
#include "platform/ChildProcess.h"
#include "platform/PathBeneath.h"
#include "platform/SystemLog.h"
#include "platform/UniqueFd.h"
#include "platform/UserDatabase.h"

namespace support::InstallUtil {

namespace {

constexpr const char* kOwnerVariable = "USER";
constexpr const char* kStandardGroup = "admin";
constexpr mode_t kStandardMode = 0775;
constexpr int kMpkgDepth = 3;  // component package, packages folder, contents folder
constexpr std::size_t kGroupBufferStart = 1024;
constexpr std::size_t kGroupBufferLimit = 1 << 20;
constexpr int kOpenFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// The value of USER, or the login name of the current user when USER is not set.
std::optional<std::string> standardOwnerName() {
  if (const char* user = std::getenv(kOwnerVariable)) return std::string(user);
  std::vector<char> name(LOGIN_NAME_MAX + 1, '\0');
  if (::getlogin_r(name.data(), name.size()) == 0) return std::string(name.data());
  if (auto entry = platform::userEntryById(::getuid())) return entry->name;
  return std::nullopt;
}

std::optional<gid_t> groupIdByName(const char* name) {
  std::vector<char> buffer(kGroupBufferStart);
  while (buffer.size() <= kGroupBufferLimit) {
    group entry{};
    group* found = nullptr;
    int error = ::getgrnam_r(name, &entry, buffer.data(), buffer.size(), &found);
    if (error == ERANGE) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (error != 0 || found == nullptr) return std::nullopt;
    return found->gr_gid;
  }
  return std::nullopt;
}

StandardAttributes standardAttributes() {
  StandardAttributes attributes{std::nullopt, groupIdByName(kStandardGroup), kStandardMode};
  if (auto name = standardOwnerName()) {
    if (auto entry = platform::userEntryByName(*name)) attributes.owner = entry->uid;
  }
  return attributes;
}

std::string twoDigits(int number) { return processDate(std::to_string(number)); }

}  // namespace

std::string generateNewManifestVersion() {
  std::time_t now = ManifestClock::now();
  std::tm local{};
  ::localtime_r(&now, &local);  // fails only where the UTC time would too: the year overflows
  return twoDigits(local.tm_mday) + twoDigits(local.tm_mon + 1) + twoDigits((local.tm_year + 1900) % 100) +
         twoDigits(local.tm_hour) + twoDigits(local.tm_min);
}

std::string processDate(const std::string& number) {
  return number.size() == 1 ? "0" + number : number;
}

std::string getPathToMPKGThrough(const std::string& path) {
  std::string result = path;
  for (int i = 0; i < kMpkgDepth; ++i) result = path_text::deletingLastPathComponent(result);
  return result;
}

std::string getInstallerRootThrough(const std::string& path) {
  return path_text::deletingLastPathComponent(getPathToMPKGThrough(path));
}

bool changeAttributesForDirectory(const std::string& path) {
  // Neither the folder nor any folder above it is followed: a link on the way refuses it.
  platform::UniqueFd folder = platform::openWithoutLinks(path, kOpenFolderFlags);
  if (!folder.valid()) {
    const int error = errno;
    if (error == ENOENT) return false;  // nothing there to repair
    platform::SystemLog::log(platform::kLogWarning, "Not changing the owner or mode below %s: %s",
                             path.c_str(), error == ELOOP ? "a link on its path" : std::strerror(error));
    return false;
  }
  return changeAttributesBelowFolder(std::move(folder), path);
}

bool changeAttributesBelowFolder(platform::UniqueFd folder, const std::string& path) {
  if (!folder.valid()) return false;
  return AttributeRepair(standardAttributes()).applyBelow(std::move(folder), path);
}

void startProvisionWithArgs(const std::string& commandLine) {
  // Split here rather than handed to a shell: text in the line is never run as shell syntax.
  auto words = splitCommandLine(commandLine);
  if (!words || words->empty()) return;
  auto program = programOfCommandWord(words->front());
  if (!program) return;
  words->front() = *program;
  platform::runChildAndWait(*words);  // the status is of no interest to callers
}

bool copyFolderFromTo(const std::string& source, const std::string& target) {
  return copyOpenFolderTo(platform::UniqueFd(::open(source.c_str(), kOpenFolderFlags)), target, nullptr);
}

bool copyOpenFolderTo(platform::UniqueFd from, const std::string& target,
                      const PackageReader* reader) {
  if (!from.valid() || target.empty()) {
    platform::SystemLog::log(platform::kLogError, "Fail to copy %s: its source cannot be read.",
                             target.c_str());
    return false;
  }
  TreeCopier copier(reader);
  std::string name = path_text::lastPathComponent(target);
  if (name == "/") {
    return copier.mergeInto(std::move(from), platform::UniqueFd(::open("/", kOpenFolderFlags)), target);
  }
  std::string parent = path_text::deletingLastPathComponent(target);
  // No link anywhere on the way: "deploy" swapped for a link during a run leads nowhere.
  platform::UniqueFd targetParent =
      platform::openWithoutLinks(parent.empty() ? "." : parent, kOpenFolderFlags);
  platform::UniqueFd existing;
  if (targetParent.valid()) {
    existing.reset(::openat(targetParent.get(), name.c_str(), kOpenFolderFlags | O_NOFOLLOW));
  }
  const int openError = errno;
  if (existing.valid()) return copier.mergeInto(std::move(from), std::move(existing), target);
  if (targetParent.valid() && openError == ENOENT) {
    return copier.copyAsNewFolder(std::move(from), targetParent.get(), name.c_str(), target);
  }
  // A file or a link in the target's place is left alone: nothing is written through it.
  platform::SystemLog::log(platform::kLogError, "Fail to copy %s: %s.", target.c_str(),
                           openError == ELOOP || openError == ENOTDIR ? "a file or a link is in its place"
                                                                      : std::strerror(openError));
  return false;
}

}  // namespace support::InstallUtil
