#include "installer/files/InstanceFiles.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "installer/files/CopyTemporaries.h"
#include "platform/ActingAs.h"
#include "platform/AtomicFile.h"
#include "platform/PathBeneath.h"
#include "platform/UniqueFd.h"
#include "platform/UserDatabase.h"
#include "platform/DescriptorBytes.h"

namespace support::InstanceFiles {
namespace {

using platform::UniqueFd;

constexpr const char* kAdminGroup = "admin";
constexpr mode_t kStandardMode = 0775;

std::error_code lastError() { return {errno, std::generic_category()}; }
std::error_code errorOf(std::errc code) { return std::make_error_code(code); }

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

std::string withoutTrailingSlashes(const std::string& path) {
  const auto last = path.find_last_not_of('/');
  if (last == std::string::npos) return path.empty() ? path : "/";
  return path.substr(0, last + 1);
}

// A folder opened for the *at calls, never through a link at its last component.
UniqueFd openFolderAt(int dirFd, const std::string& name) {
  return UniqueFd(::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

std::optional<std::vector<std::string>> entriesAt(int dirFd) {
  UniqueFd own(::fcntl(dirFd, F_DUPFD_CLOEXEC, 0));
  if (!own.valid()) return std::nullopt;
  UniqueDir dir(::fdopendir(own.get()));
  if (!dir) return std::nullopt;
  own.release();  // the DIR owns it now
  std::vector<std::string> names;
  errno = 0;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  if (errno != 0) return std::nullopt;
  std::sort(names.begin(), names.end());
  return names;
}

std::error_code copyContents(int from, int to) {
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return lastError();
    }
    if (got == 0) return {};
    if (auto error = platform::writeWhole(to, {buffer, static_cast<size_t>(got)})) return error;
  }
}

// A temporary name in a folder (see CopyTemporaries.h), removed again unless it was renamed.
class TempEntry {
 public:
  TempEntry(int dirFd, const std::string& forName) : dirFd_(dirFd) {
    fd_ = createCopyTemporary(dirFd, forName, name_);
    if (!fd_.valid()) error_ = lastError();
  }
  ~TempEntry() {
    if (!name_.empty()) ::unlinkat(dirFd_, name_.c_str(), 0);
  }
  TempEntry(const TempEntry&) = delete;
  TempEntry& operator=(const TempEntry&) = delete;

  std::error_code error() const { return error_; }
  UniqueFd& fd() { return fd_; }
  // Gives the temporary its final name, which must not exist yet unless `replace` is set. The
  // temporary stays open, and so locked, through the rename.
  std::error_code renameTo(const std::string& finalName, bool replace) {
    const bool renamed = replace ? renameCopyTemporaryReplacing(dirFd_, name_, finalName.c_str())
                                 : renameCopyTemporaryNoReplace(dirFd_, name_, finalName.c_str());
    name_.clear();  // renamed, or removed by the failed rename
    return renamed ? std::error_code() : lastError();
  }

 private:
  int dirFd_;
  UniqueFd fd_;
  std::string name_;
  std::error_code error_;
};

// A file whose contents and mode are taken from an open regular file of one link.
std::error_code copyOpenFileAt(int source, int dstDir, const std::string& dstName,
                               bool replace = false) {
  struct stat status {};
  if (::fstat(source, &status) != 0) return lastError();
  if (!S_ISREG(status.st_mode)) return errorOf(std::errc::operation_not_supported);
  // A hard link may name a file the instance's owner must not read.
  if (status.st_nlink != 1) return errorOf(std::errc::too_many_links);

  platform::ActingAsOwnerOf owner(dstDir);  // the copy is made, and belongs to, the folder's owner
  if (!owner.ok()) return errorOf(std::errc::operation_not_permitted);
  TempEntry temp(dstDir, dstName);
  if (temp.error()) return temp.error();
  if (auto error = copyContents(source, temp.fd().get())) return error;
  if (::fchmod(temp.fd().get(), status.st_mode & 0777) != 0) return lastError();
  if (::fsync(temp.fd().get()) != 0) return lastError();
  return temp.renameTo(dstName, replace);
}

// The new file is written under a temporary name and then renamed to its name without
// replacing anything: the target appears whole or not at all and is never overwritten.
std::error_code copyFileAt(int srcDir, const std::string& srcName, int dstDir,
                           const std::string& dstName) {
  UniqueFd source(::openat(srcDir, srcName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!source.valid()) return lastError();
  return copyOpenFileAt(source.get(), dstDir, dstName);
}

std::error_code copyLinkAt(int srcDir, const std::string& srcName, int dstDir,
                           const std::string& dstName) {
  std::string target(256, '\0');
  for (;;) {
    const ssize_t length = ::readlinkat(srcDir, srcName.c_str(), target.data(), target.size());
    if (length < 0) return lastError();
    if (static_cast<size_t>(length) < target.size()) {
      target.resize(static_cast<size_t>(length));
      break;
    }
    target.resize(target.size() * 2);
  }
  platform::ActingAsOwnerOf owner(dstDir);
  if (!owner.ok()) return errorOf(std::errc::operation_not_permitted);
  if (::symlinkat(target.c_str(), dstDir, dstName.c_str()) != 0) return lastError();
  return {};
}

std::error_code removeAt(int dirFd, const std::string& name);
std::error_code copyAt(int srcDir, const std::string& srcName, int dstDir,
                       const std::string& dstName);

std::error_code copyFolderContents(int source, int target) {
  auto names = entriesAt(source);
  if (!names) return lastError();
  for (const auto& name : *names) {
    if (auto error = copyAt(source, name, target, name)) return error;
  }
  return {};
}

std::error_code makeFolderAsOwner(int dstDir, const std::string& dstName) {
  platform::ActingAsOwnerOf owner(dstDir);
  if (!owner.ok()) return errorOf(std::errc::operation_not_permitted);
  if (::mkdirat(dstDir, dstName.c_str(), 0700) != 0) return lastError();
  return {};
}

std::error_code copyFolderAt(int srcDir, const std::string& srcName, mode_t mode, int dstDir,
                             const std::string& dstName) {
  UniqueFd source = openFolderAt(srcDir, srcName);
  if (!source.valid()) return lastError();
  if (auto error = makeFolderAsOwner(dstDir, dstName)) return error;
  // From here on the folder is ours: a failure removes it with what was copied into it.
  UniqueFd target = openFolderAt(dstDir, dstName);
  std::error_code error = target.valid() ? copyFolderContents(source.get(), target.get()) : lastError();
  if (!error) {
    platform::ActingAsOwnerOf owner(dstDir);
    if (!owner.ok() || ::fchmod(target.get(), mode & 0777) != 0) error = lastError();
  }
  if (error) {
    target.reset();
    removeAt(dstDir, dstName);
  }
  return error;
}

std::error_code copyAt(int srcDir, const std::string& srcName, int dstDir,
                       const std::string& dstName) {
  struct stat status {};
  if (::fstatat(srcDir, srcName.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) return lastError();
  if (S_ISLNK(status.st_mode)) return copyLinkAt(srcDir, srcName, dstDir, dstName);
  if (S_ISREG(status.st_mode)) return copyFileAt(srcDir, srcName, dstDir, dstName);
  if (S_ISDIR(status.st_mode)) return copyFolderAt(srcDir, srcName, status.st_mode, dstDir, dstName);
  return errorOf(std::errc::operation_not_supported);  // devices, pipes, sockets
}

std::error_code removeAt(int dirFd, const std::string& name) {
  struct stat status {};
  if (::fstatat(dirFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT ? std::error_code() : lastError();
  }
  if (S_ISDIR(status.st_mode)) {
    std::error_code first;
    UniqueFd folder = openFolderAt(dirFd, name);
    if (!folder.valid()) return lastError();
    auto names = entriesAt(folder.get());
    if (!names) return lastError();
    for (const auto& entry : *names) {
      if (auto error = removeAt(folder.get(), entry); error && !first) first = error;
    }
    platform::ActingAsOwnerOf owner(dirFd);
    if ((!owner.ok() || ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) != 0) && !first) first = lastError();
    return first;
  }
  platform::ActingAsOwnerOf owner(dirFd);  // only what the folder's owner could remove
  if (!owner.ok()) return errorOf(std::errc::operation_not_permitted);
  if (::unlinkat(dirFd, name.c_str(), 0) != 0 && errno != ENOENT) return lastError();
  return {};
}

// The folder that holds a path, opened without following a link anywhere on its path: a
// folder of the instance swapped for a link leads nowhere.
UniqueFd openParentFolder(const std::string& path) {
  const std::string parent = deletingLastPathComponent(path);
  return platform::openWithoutLinks(parent.empty() ? "." : parent, O_RDONLY | O_DIRECTORY);
}

std::optional<gid_t> groupId(const std::string& name) {
  long suggested = ::sysconf(_SC_GETGR_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 1024);
  for (;;) {
    struct group entry {};
    struct group* result = nullptr;
    const int error = ::getgrnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &result);
    if (error == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (error != 0 || result == nullptr) return std::nullopt;
    return entry.gr_gid;
  }
}

void removeTemporariesAsOwner(int folderFd) {
  platform::ActingAsOwnerOf owner(folderFd);
  if (owner.ok()) removeCopyTemporaries(folderFd);
}

struct Ownership {
  uid_t uid;
  gid_t gid;
};

std::optional<Ownership> standardOwnership(const std::string& owner) {
  auto user = platform::userEntryByName(owner);
  auto group = groupId(kAdminGroup);
  if (!user || !group) return std::nullopt;
  return Ownership{user->uid, *group};
}

// Only onto the folder itself: never through a link, and never onto a file swapped in for it
// (a second name of another file may have been planted where the folder was made).
std::error_code applyFolderOwnership(int parentFd, const std::string& name, const Ownership& ownership) {
  UniqueFd fd = openFolderAt(parentFd, name);
  if (!fd.valid()) return lastError();
  if (::fchown(fd.get(), ownership.uid, ownership.gid) != 0) return lastError();
  if (::fchmod(fd.get(), kStandardMode) != 0) return lastError();
  return {};
}

}  // namespace

// ---- Path texts ----

std::string appendPathComponent(const std::string& path, const std::string& name) {
  if (path.empty() || path.back() == '/') return path + name;
  return path + "/" + name;
}

std::string lastPathComponent(const std::string& path) {
  const std::string trimmed = withoutTrailingSlashes(path);
  if (trimmed == "/") return trimmed;
  const auto slash = trimmed.find_last_of('/');
  return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

std::string deletingLastPathComponent(const std::string& path) {
  const std::string trimmed = withoutTrailingSlashes(path);
  if (trimmed == "/") return trimmed;
  const auto slash = trimmed.find_last_of('/');
  if (slash == std::string::npos) return "";
  return withoutTrailingSlashes(trimmed.substr(0, slash + 1));
}

bool isPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// ---- Existence ----

bool exists(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0;
}

bool isDirectory(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool existsNoFollow(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

bool isRealDirectory(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::vector<std::string> folderEntries(const std::string& path) {
  UniqueFd folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder.valid()) return {};
  return entriesAt(folder.get()).value_or(std::vector<std::string>{});
}

std::vector<std::string> folderEntriesOf(int folderFd) {
  // A fresh open of the folder: reading must not move the offset of the caller's descriptor.
  UniqueFd own(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!own.valid()) return {};
  return entriesAt(own.get()).value_or(std::vector<std::string>{});
}

// ---- Copy and delete ----

std::error_code copyItemNoOverwrite(const std::string& source, const std::string& target) {
  const std::string name = lastPathComponent(target);
  if (!isPlainFileName(name)) return errorOf(std::errc::invalid_argument);
  UniqueFd folder = openParentFolder(target);
  if (!folder.valid()) return lastError();
  removeTemporariesAsOwner(folder.get());  // left by killed runs
  if (auto error = copyAt(AT_FDCWD, source, folder.get(), name)) return error;
  ::fsync(folder.get());  // the new name survives a crash; some file systems refuse this
  return {};
}

std::error_code copyOpenFileNoOverwrite(int source, const std::string& target) {
  const std::string name = lastPathComponent(target);
  if (!isPlainFileName(name)) return errorOf(std::errc::invalid_argument);
  UniqueFd folder = openParentFolder(target);
  if (!folder.valid()) return lastError();
  removeTemporariesAsOwner(folder.get());
  if (auto error = copyOpenFileAt(source, folder.get(), name)) return error;
  ::fsync(folder.get());
  return {};
}

std::error_code copyOpenFileReplacing(int source, const std::string& target) {
  const std::string name = lastPathComponent(target);
  if (!isPlainFileName(name)) return errorOf(std::errc::invalid_argument);
  UniqueFd folder = openParentFolder(target);
  if (!folder.valid()) return lastError();
  struct stat existing {};
  if (::fstatat(folder.get(), name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISDIR(existing.st_mode)) {
    return errorOf(std::errc::is_a_directory);  // a folder is never replaced by a file
  }
  removeCopyTemporaries(folder.get());
  if (auto error = copyOpenFileAt(source, folder.get(), name, true)) return error;
  ::fsync(folder.get());
  return {};
}

std::error_code removeItemNoFollow(const std::string& path) {
  const std::string name = lastPathComponent(path);
  if (!isPlainFileName(name)) return errorOf(std::errc::invalid_argument);
  UniqueFd folder = openParentFolder(path);
  if (!folder.valid()) return errno == ENOENT ? std::error_code() : lastError();
  return removeAt(folder.get(), name);
}

// ---- Standard attributes ----

std::optional<std::string> loginName() {
  if (auto entry = platform::userEntryById(::geteuid())) return entry->name;
  return std::nullopt;
}

std::optional<std::string> userOrLoginName() {
  const char* user = std::getenv("USER");
  if (user != nullptr && *user != '\0') return std::string(user);
  return loginName();
}

std::error_code createFolderWithStandardAttributes(const std::string& path,
                                                   const std::string& owner) {
  auto ownership = standardOwnership(owner);
  const std::string name = lastPathComponent(path);
  if (!ownership || !isPlainFileName(name)) return errorOf(std::errc::invalid_argument);
  // Root's, as it gives the folder away; made in a parent reached without any link on its path.
  UniqueFd parent = openParentFolder(path);
  if (!parent.valid()) return lastError();
  if (::mkdirat(parent.get(), name.c_str(), kStandardMode) != 0) return lastError();
  if (auto error = applyFolderOwnership(parent.get(), name, *ownership)) {
    ::unlinkat(parent.get(), name.c_str(), AT_REMOVEDIR);
    return error;
  }
  return {};
}

std::error_code replaceFileWithStandardAttributes(const std::string& path,
                                                  const std::string& contents,
                                                  const std::string& owner) {
  auto ownership = standardOwnership(owner);
  if (!ownership) return errorOf(std::errc::invalid_argument);
  // Owner and mode go on the new file before it takes the name: a folder its owner may write
  // could otherwise have the name swapped for a second link of another file in between.
  return platform::replaceFileAtomically(path, contents,
                                         platform::FileOwner{ownership->uid, ownership->gid},
                                         kStandardMode);
}

}  // namespace support::InstanceFiles
