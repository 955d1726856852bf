#include "installer/files/TreeCopier.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include <string>

#include "installer/files/CopyTemporaries.h"
#include "installer/files/TreeRemoval.h"
#include "installer/files/WalkDepth.h"
#include "platform/ActingAs.h"
#include "platform/PathBeneath.h"
#include "platform/DescriptorBytes.h"
#include "platform/SystemLog.h"

namespace support {

namespace {

// Copies never carry set-user-id or set-group-id bits (nor the sticky bit): a program of root's
// named in a package must not become a set-id program in the instance.
constexpr mode_t kPermissionBits = 0777;
constexpr std::size_t kReadBufferSize = 128 * 1024;
constexpr std::size_t kCopyChunk = std::size_t{1} << 30;
constexpr std::size_t kLinkTextStart = 256;
constexpr int kOpenFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr const char* kUnreadableSource = "it cannot be read, or the package's owner could not read it";
constexpr const char* kRefusedFile =
    "not a regular file of one link that the package's owner could read";
constexpr const char* kTooDeep = "its folders are nested deeper than a copy goes";

// Only root may give a file away; a copy made as the owner of its folder stays theirs.
void copyOwnerModeAndTimes(int fd, const struct stat& status) {
  if (::fchown(fd, status.st_uid, status.st_gid) != 0) {
    // not permitted: the copy stays owned by whoever made it
  }
  ::fchmod(fd, status.st_mode & kPermissionBits);
  const timespec times[2] = {status.st_atim, status.st_mtim};
  ::futimens(fd, times);
}

unsigned char typeOf(mode_t mode) {
  if (S_ISDIR(mode)) return DT_DIR;
  if (S_ISLNK(mode)) return DT_LNK;
  if (S_ISREG(mode)) return DT_REG;
  return DT_UNKNOWN;  // devices, pipes and sockets are not copied
}

unsigned char physicalType(int folderFd, const char* name) {
  struct stat status {};
  if (::fstatat(folderFd, name, &status, AT_SYMLINK_NOFOLLOW) != 0) return DT_UNKNOWN;
  return typeOf(status.st_mode);
}

}  // namespace

TreeCopier::TreeCopier(const PackageReader* reader) : reader_(reader), maxDepth_(maxWalkDepth(2)) {}

void TreeCopier::fail(const char* name, const char* reason) {
  failed_ = true;
  std::string path = targetPath_;
  if (!relative_.empty()) path += "/" + relative_;
  if (name != nullptr && *name != '\0') path += std::string("/") + name;
  platform::SystemLog::log(platform::kLogError, "Fail to copy %s: %s.", path.c_str(), reason);
}

void TreeCopier::failWithErrno(const char* name) { fail(name, std::strerror(errno)); }

void TreeCopier::setRoot(int sourceFd) {
  root_.reset(::fcntl(sourceFd, F_DUPFD_CLOEXEC, 0));
  relative_.clear();
}

void TreeCopier::enter(const char* name) {
  if (!relative_.empty()) relative_ += '/';
  relative_ += name;
}

void TreeCopier::leave() {
  const auto slash = relative_.rfind('/');
  relative_.erase(slash == std::string::npos ? 0 : slash);
}

bool TreeCopier::copyAsNewFolder(platform::UniqueFd source, int targetParentFd, const char* name,
                                 const std::string& targetPath) {
  targetPath_ = targetPath;
  failed_ = false;
  OpenFolder folder = checkedFolder(std::move(source));
  if (!folder.fd.valid()) {
    fail(nullptr, kUnreadableSource);
    return false;
  }
  setRoot(folder.fd.get());
  copyFolder(std::move(folder), targetParentFd, name);
  return !failed_;
}

bool TreeCopier::mergeInto(platform::UniqueFd source, platform::UniqueFd target,
                           const std::string& targetPath) {
  targetPath_ = targetPath;
  failed_ = false;
  OpenFolder folder = checkedFolder(std::move(source));
  if (!folder.fd.valid()) {
    fail(nullptr, kUnreadableSource);
    return false;
  }
  setRoot(folder.fd.get());
  mergeFolders(std::move(folder), std::move(target));
  return !failed_;
}

TreeCopier::OpenFolder TreeCopier::checkedFolder(platform::UniqueFd fd) {
  OpenFolder folder{};
  if (!fd.valid() || ::fstat(fd.get(), &folder.status) != 0 || !S_ISDIR(folder.status.st_mode)) {
    return folder;
  }
  if (reader_ != nullptr && !reader_->mayRead(folder.status)) return folder;
  folder.fd = std::move(fd);
  return folder;
}

void TreeCopier::copyFolder(OpenFolder source, int targetParentFd, const char* name) {
  platform::UniqueFd target = makeTargetFolder(targetParentFd, name);
  // Failures name the folder itself: the current folder is this one already.
  struct stat targetStatus {};
  if (!target.valid() || ::fstat(target.get(), &targetStatus) != 0) return failWithErrno(nullptr);
  sourceTrail_.push(FolderId::of(source.status));
  targetTrail_.push(FolderId::of(targetStatus));
  {
    DirectoryStream entries(std::move(source.fd));
    while (const dirent64* entry = entries.next()) {
      copyEntry(entries.fd(), entry->d_name, entry->d_type, target.get());
    }
  }
  sourceTrail_.pop();
  targetTrail_.pop();
  platform::ActingAsOwnerOf owner(targetParentFd);
  if (owner.ok()) copyOwnerModeAndTimes(target.get(), source.status);
}

platform::UniqueFd TreeCopier::makeTargetFolder(int targetParentFd, const char* name) {
  // Made as the owner of the folder it goes into; private until its content is in place, its
  // own mode is set last.
  platform::ActingAsOwnerOf owner(targetParentFd);
  if (!owner.ok() || ::mkdirat(targetParentFd, name, S_IRWXU) != 0) return {};
  return platform::UniqueFd(::openat(targetParentFd, name, kOpenFolderFlags | O_NOFOLLOW));
}

platform::UniqueFd TreeCopier::openSourceAt(int sourceFd, const char* name, int flags) const {
  if (reader_ != nullptr) return reader_->openAt(sourceFd, name, flags);
  return platform::UniqueFd(::openat(sourceFd, name, flags | O_CLOEXEC));
}

void TreeCopier::mergeFolders(OpenFolder source, platform::UniqueFd target) {
  struct stat targetStatus {};
  if (!target.valid() || ::fstat(target.get(), &targetStatus) != 0) return failWithErrno(nullptr);
  {
    platform::ActingAsOwnerOf owner(target.get());
    if (owner.ok()) removeCopyTemporaries(target.get());  // left by killed runs
  }
  sourceTrail_.push(FolderId::of(source.status));
  targetTrail_.push(FolderId::of(targetStatus));
  {
    DirectoryStream entries(std::move(source.fd));
    while (const dirent64* entry = entries.next()) {
      mergeEntry(entries.fd(), entry->d_name, entry->d_type, target.get());
    }
  }
  sourceTrail_.pop();
  targetTrail_.pop();
}

void TreeCopier::copyEntry(int sourceFd, const char* name, unsigned char type, int targetFd,
                           bool replace) {
  if (type == DT_UNKNOWN) type = physicalType(sourceFd, name);
  if (type == DT_REG) {
    copyFile(sourceFd, name, targetFd, replace);
  } else if (type == DT_LNK) {
    copyLink(sourceFd, name, targetFd, replace);
  } else if (type == DT_DIR) {
    OpenFolder child = openSourceFolder(sourceFd, name, false);
    if (!child.fd.valid()) return;
    enter(name);
    copyFolder(std::move(child), targetFd, name);
    leave();
  }
}

void TreeCopier::mergeEntry(int sourceFd, const char* name, unsigned char type, int targetFd) {
  if (type == DT_UNKNOWN) type = physicalType(sourceFd, name);
  OpenFolder child{};
  bool loop = false;
  if (type == DT_DIR) child = openSourceFolder(sourceFd, name, false);
  // A link where an earlier copy left a link: the new link replaces the old one.
  if (type == DT_LNK && physicalType(targetFd, name) == DT_LNK) return copyLink(sourceFd, name, targetFd, true);
  if (type == DT_LNK) child = openLinkedFolderInsideTree(name, loop);
  if (loop) return;  // a link back to a folder being copied: nothing more to take
  if (child.fd.valid()) {
    enter(name);
    mergeSubfolder(std::move(child), targetFd, name);
    leave();
    return;
  }
  if (type == DT_DIR) return;  // refused or too deep (reported): nothing of it is taken
  if (type != DT_REG && type != DT_LNK) return;
  if (type == DT_REG && !mayTakeFile(sourceFd, name)) return fail(name, kRefusedFile);
  // A folder another add-on put there is never deleted to make room for a file or a link.
  struct stat existing {};
  if (::fstatat(targetFd, name, &existing, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(existing.st_mode)) {
    return fail(name, "a folder of that name is in its place");
  }
  // The new entry replaces the old one in one rename: a copy that fails keeps the old one.
  copyEntry(sourceFd, name, type, targetFd, true);
}

void TreeCopier::mergeSubfolder(OpenFolder source, int targetFd, const char* name) {
  platform::UniqueFd existing(::openat(targetFd, name, kOpenFolderFlags | O_NOFOLLOW));
  int openError = errno;
  if (existing.valid()) {
    mergeFolders(std::move(source), std::move(existing));
  } else if (openError == ENOENT) {
    copyFolder(std::move(source), targetFd, name);
  } else {
    // A file or a link where the source has a folder is left alone: nothing is written through
    // it, and nothing of the instance is deleted for it.
    fail(nullptr, openError == ELOOP || openError == ENOTDIR ? "a file or a link is in its place"
                                                            : std::strerror(openError));
  }
}

TreeCopier::OpenFolder TreeCopier::openSourceFolder(int sourceFd, const char* name, bool followLinks) {
  if (sourceTrail_.depth() >= maxDepth_) {
    fail(name, kTooDeep);
    return {};
  }
  OpenFolder folder =
      checkedFolder(openSourceAt(sourceFd, name, kOpenFolderFlags | (followLinks ? 0 : O_NOFOLLOW)));
  if (!folder.fd.valid()) {
    fail(name, kUnreadableSource);
    return folder;
  }
  FolderId id = FolderId::of(folder.status);
  if (sourceTrail_.contains(id) || targetTrail_.contains(id)) return {};
  return folder;
}

TreeCopier::OpenFolder TreeCopier::openLinkedFolderInsideTree(const char* name, bool& loop) {
  if (!root_.valid()) return {};
  const std::string path = relative_.empty() ? std::string(name) : relative_ + "/" + name;
  OpenFolder folder = checkedFolder(
      reader_ != nullptr ? reader_->openInside(root_.get(), path, kOpenFolderFlags)
                         : platform::openInsideFollowingLinks(root_.get(), path, kOpenFolderFlags));
  if (!folder.fd.valid()) return folder;
  FolderId id = FolderId::of(folder.status);
  if (sourceTrail_.depth() >= maxDepth_) fail(name, kTooDeep);
  loop = sourceTrail_.contains(id) || targetTrail_.contains(id) || sourceTrail_.depth() >= maxDepth_;
  if (loop) return {};
  return folder;
}

bool TreeCopier::mayTakeFile(int sourceFd, const char* name) const {
  struct stat status {};
  return ::fstatat(sourceFd, name, &status, AT_SYMLINK_NOFOLLOW) == 0 && mayTake(status);
}

bool TreeCopier::mayTake(const struct stat& status) const {
  return S_ISREG(status.st_mode) && status.st_nlink == 1 &&
         (reader_ == nullptr || reader_->mayRead(status));
}

void TreeCopier::copyFile(int sourceFd, const char* name, int targetFd, bool replace) {
  // O_NONBLOCK: an entry swapped for a pipe must not hang the copy; it fails the check below.
  platform::UniqueFd from = openSourceAt(sourceFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
  struct stat status {};
  if (!from.valid() || ::fstat(from.get(), &status) != 0) return failWithErrno(name);
  if (!mayTake(status)) return fail(name, kRefusedFile);
  platform::ActingAsOwnerOf owner(targetFd);
  if (!owner.ok()) return fail(name, "its folder's owner could not be acted as");
  std::string temporary;
  // Locked while it is written and until it has its name (CopyTemporaries.h).
  platform::UniqueFd to = createCopyTemporary(targetFd, name, temporary);
  if (!to.valid()) return failWithErrno(name);
  if (!copyContent(from.get(), to.get(), status.st_size) || ::fsync(to.get()) != 0) {
    const int error = errno;
    ::unlinkat(targetFd, temporary.c_str(), 0);  // no half copies
    return fail(name, std::strerror(error));
  }
  copyOwnerModeAndTimes(to.get(), status);
  // Without `replace` an existing name stays as it is.
  const bool renamed = replace ? renameCopyTemporaryReplacing(targetFd, temporary, name)
                               : renameCopyTemporaryNoReplace(targetFd, temporary, name);
  if (!renamed) failWithErrno(name);
}

void TreeCopier::copyLink(int sourceFd, const char* name, int targetFd, bool replace) {
  struct stat status {};
  if (::fstatat(sourceFd, name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(status.st_mode)) {
    return fail(name, kUnreadableSource);
  }
  std::string text(std::max<std::size_t>(static_cast<std::size_t>(status.st_size) + 1, kLinkTextStart), '\0');
  while (true) {
    ssize_t length = ::readlinkat(sourceFd, name, text.data(), text.size());
    if (length < 0) return failWithErrno(name);
    if (static_cast<std::size_t>(length) < text.size()) {
      text.resize(static_cast<std::size_t>(length));
      break;
    }
    text.resize(text.size() * 2);  // changed since it was looked at: read it again
  }
  // Made as the owner of the folder; a link that replaces an entry is made under a temporary
  // name and renamed over it.
  platform::ActingAsOwnerOf owner(targetFd);
  if (!owner.ok()) return fail(name, "its folder's owner could not be acted as");
  const std::string made = replace ? copyTemporaryNameFor(name) : std::string(name);
  if (::symlinkat(text.c_str(), targetFd, made.c_str()) != 0) return failWithErrno(name);
  if (::fchownat(targetFd, made.c_str(), status.st_uid, status.st_gid, AT_SYMLINK_NOFOLLOW) != 0) {
    // not permitted: the link stays owned by whoever made it
  }
  const timespec times[2] = {status.st_atim, status.st_mtim};
  ::utimensat(targetFd, made.c_str(), times, AT_SYMLINK_NOFOLLOW);
  if (replace && !renameCopyTemporaryReplacing(targetFd, made, name)) failWithErrno(name);
}

bool TreeCopier::copyContent(int from, int to, off_t size) {
  off_t copied = 0;
  while (true) {
    ssize_t count = ::copy_file_range(from, nullptr, to, nullptr, kCopyChunk, 0);
    if (count < 0) {
      if (errno == EINTR) continue;
      bool unsupported = errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                         errno == EOPNOTSUPP || errno == EBADF;
      return copied == 0 && unsupported && copyContentByReading(from, to);
    }
    if (count == 0) return true;
    copied += count;
    // The size seen when the file was opened is what is copied; stopping there saves a call.
    if (size > 0 && copied >= size) return true;
  }
}

bool TreeCopier::copyContentByReading(int from, int to) {
  if (buffer_.empty()) buffer_.resize(kReadBufferSize);
  while (true) {
    ssize_t count = ::read(from, buffer_.data(), buffer_.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (count == 0) return true;
    if (platform::writeWhole(to, {buffer_.data(), static_cast<std::size_t>(count)})) return false;
  }
}

}  // namespace support
