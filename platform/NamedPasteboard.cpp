#include "platform/NamedPasteboard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/DescriptorBytes.h"
#include "platform/EffectiveUserGuard.h"
#include "platform/PropertyListFile.h"
#include "platform/SystemLog.h"

namespace platform {
namespace {

constexpr const char* kTypesFileName = "declared-types.plist";
constexpr const char* kFallbackFolderParent = "/run";
constexpr const char* kFallbackFolderName = "rcp-pasteboards";
// A record larger than this is no record of ours.
constexpr std::size_t kMaxFileSize = 1 << 20;

// Names become file names: everything but letters, digits, "_" and "-" is written as %XX, so
// no name can climb out of its folder or collide with the list of declared types.
std::string fileNameOf(const std::string& prefix, const std::string& name) {
  std::string out = prefix;
  for (unsigned char c : name) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '_' || c == '-';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

std::string typeFileName(const std::string& type) { return fileNameOf("type-", type) + ".plist"; }

// Root serves the logged-in user; everyone else serves itself.
FileOwner pasteboardUser() {
  if (::geteuid() == 0) {
    if (std::optional<LoggedInUser> user = loggedInUser()) return FileOwner{user->uid, user->gid};
  }
  return FileOwner{::geteuid(), ::getegid()};
}

bool isPrivateFolderOf(const struct stat& info, uid_t uid) {
  return S_ISDIR(info.st_mode) && info.st_uid == uid && (info.st_mode & 077) == 0;
}

// Gives a folder root made (now, or in an earlier root run) to the user, private.
bool handOver(int fd, const FileOwner& owner) {
  return ::fchown(fd, owner.uid, owner.gid) == 0 && ::fchmod(fd, 0700) == 0;
}

// The private folder `name` below parentFd, created when missing; never through a link.
UniqueFd privateFolderAt(int parentFd, const char* name, const FileOwner& owner) {
  const bool created = ::mkdirat(parentFd, name, 0700) == 0;
  if (!created && errno != EEXIST) return UniqueFd();
  UniqueFd fd(::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.valid()) return UniqueFd();
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return UniqueFd();  // a folder: O_DIRECTORY
  const bool rootMade = ::geteuid() == 0 && info.st_uid == 0 && owner.uid != 0;
  if ((created || rootMade) && info.st_uid == ::geteuid() && !handOver(fd.get(), owner)) {
    return UniqueFd();
  }
  if (::fstat(fd.get(), &info) != 0 || !isPrivateFolderOf(info, owner.uid)) return UniqueFd();
  return fd;
}

// The folder of the per-user fallback folders, made by root (0755) when missing. Refused (and
// logged) unless it is a folder of root's that no one else may write: any user could otherwise
// make another's folder first, or swap it.
UniqueFd fallbackParent() {
  UniqueFd run(::open(kFallbackFolderParent, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!run.valid()) return UniqueFd();
  const bool created = ::geteuid() == 0 && ::mkdirat(run.get(), kFallbackFolderName, 0755) == 0;
  UniqueFd parent(
      ::openat(run.get(), kFallbackFolderName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!parent.valid()) return UniqueFd();
  struct stat info {};
  // Made 0755 whatever the umask, so that each user reaches their own folder below it.
  if ((created && ::fchmod(parent.get(), 0755) != 0) || ::fstat(parent.get(), &info) != 0) {
    return UniqueFd();
  }
  if (info.st_uid != 0 || (info.st_mode & 022) != 0) {
    SystemLog::log(kLogError, "Refusing the pasteboard folder %s/%s: owner %u, mode %o; it must be "
                   "root's and writable by root alone.", kFallbackFolderParent, kFallbackFolderName,
                   static_cast<unsigned>(info.st_uid), static_cast<unsigned>(info.st_mode & 07777));
    return UniqueFd();
  }
  return parent;
}

// "/run/user/<uid>" when it is the user's private folder, else "/run/rcp-pasteboards/<uid>".
UniqueFd runtimeFolder(const FileOwner& owner) {
  const std::string uid = std::to_string(owner.uid);
  UniqueFd runUser(::open("/run/user", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (runUser.valid()) {
    UniqueFd own(::openat(runUser.get(), uid.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (own.valid() && ::fstat(own.get(), &info) == 0 && isPrivateFolderOf(info, owner.uid)) {
      return own;
    }
  }
  UniqueFd parent = fallbackParent();
  if (!parent.valid()) return UniqueFd();
  return privateFolderAt(parent.get(), uid.c_str(), owner);
}

}  // namespace

NamedPasteboard::NamedPasteboard(const std::string& name) : owner_(pasteboardUser()) {
  UniqueFd base = runtimeFolder(owner_);
  if (!base.valid()) return;
  UniqueFd pasteboards = privateFolderAt(base.get(), "pasteboards", owner_);
  if (!pasteboards.valid()) return;
  folder_ = privateFolderAt(pasteboards.get(), fileNameOf("", name).c_str(), owner_);
}

bool NamedPasteboard::writeFile(const std::string& fileName, const PlistValue& value) const {
  const std::string xml = PropertyListFile::toXml(value);
  if (xml.empty()) return false;
  return !replaceFileAtomicallyAt(folder_.get(), fileName, xml, owner_);
}

// Read through the folder's descriptor, only from a regular file (never through a link).
std::optional<PlistValue> NamedPasteboard::readFile(const std::string& fileName) const {
  UniqueFd fd(::openat(folder_.get(), fileName.c_str(),
                       O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat info {};
  if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  const std::optional<std::string> bytes = readWhole(fd.get(), kMaxFileSize);
  return bytes ? PropertyListFile::parse(*bytes) : std::nullopt;
}

bool NamedPasteboard::declareTypes(const std::vector<std::string>& types) {
  if (!usable()) return false;
  for (const std::string& old : declaredTypes()) {
    ::unlinkat(folder_.get(), typeFileName(old).c_str(), 0);
  }
  PlistArray list(types.begin(), types.end());
  return writeFile(kTypesFileName, PlistValue(std::move(list)));
}

std::vector<std::string> NamedPasteboard::declaredTypes() const {
  std::vector<std::string> types;
  if (!usable()) return types;
  std::optional<PlistValue> list = readFile(kTypesFileName);
  if (!list || !list->asArray()) return types;
  for (const PlistValue& entry : *list->asArray()) {
    if (const std::string* type = entry.asString()) types.push_back(*type);
  }
  return types;
}

bool NamedPasteboard::setPropertyListForType(const PlistValue& value, const std::string& type) {
  if (!usable()) return false;
  std::vector<std::string> declared = declaredTypes();
  if (std::find(declared.begin(), declared.end(), type) == declared.end()) return false;
  return writeFile(typeFileName(type), value);
}

std::optional<PlistValue> NamedPasteboard::propertyListForType(const std::string& type) const {
  if (!usable()) return std::nullopt;
  std::vector<std::string> declared = declaredTypes();
  if (std::find(declared.begin(), declared.end(), type) == declared.end()) return std::nullopt;
  return readFile(typeFileName(type));
}

}  // namespace platform
