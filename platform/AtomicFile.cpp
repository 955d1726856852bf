#include "platform/AtomicFile.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "platform/ActingAs.h"
#include "platform/DescriptorBytes.h"
#include "platform/MarkedTemporary.h"
#include "platform/PathBeneath.h"
#include "platform/UniqueFd.h"

namespace platform {
namespace {

std::error_code lastError() { return std::error_code(errno, std::generic_category()); }

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The process's umask without changing it: /proc/self/status has it since Linux 4.7, so no
// other thread ever sees a temporarily cleared umask; older kernels fall back to the swap.
mode_t currentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) {
      return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8)) & 0777;
    }
  }
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

// A uniquely named file next to the target, locked while it lives; removed on destruction
// unless committed.
class TempFile {
 public:
  TempFile(int folderFd, const std::string& target) : folderFd_(folderFd), target_(target) {}
  ~TempFile() {
    if (!name_.empty()) ::unlinkat(folderFd_, name_.c_str(), 0);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  std::error_code create() {
    fd_ = MarkedTemporary::create(folderFd_, target_, MarkedTemporary::kRecordMarker, name_, O_RDWR);
    return fd_.valid() ? std::error_code() : lastError();
  }

  int fd() const { return fd_.get(); }
  const std::string& name() const { return name_; }
  // After the rename the name belongs to the target: nothing left to remove.
  void committed() { name_.clear(); }

 private:
  int folderFd_;
  std::string target_;
  std::string name_;
  UniqueFd fd_;
};

struct Attributes {
  std::optional<FileOwner> owner;  // none: the temporary's own
  mode_t mode;
};

// What the written file carries: the replaced regular file's owner, group and mode (never
// those of a link), else the default bits; a given owner or mode wins.
std::error_code attributesFor(int folderFd, const std::string& name,
                              const std::optional<FileOwner>& owner, std::optional<mode_t> mode,
                              bool asFolderOwner, Attributes& out) {
  // Written as the folder's owner, the file is theirs: no owner is given or carried over.
  out = Attributes{asFolderOwner ? std::nullopt : owner,
                   mode.value_or(static_cast<mode_t>(0666 & ~currentUmask()))};
  struct stat old {};
  if (::fstatat(folderFd, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT ? std::error_code() : lastError();
  }
  if (S_ISDIR(old.st_mode)) return std::make_error_code(std::errc::is_a_directory);
  if (!S_ISREG(old.st_mode)) return {};
  if (!owner && !asFolderOwner) out.owner = FileOwner{old.st_uid, old.st_gid};
  if (!mode) out.mode = old.st_mode & 07777;
  return {};
}

// Owner first: a change of owner clears the set-id bits that the mode then restores.
std::error_code applyAttributes(int fd, const Attributes& attributes) {
  struct stat own {};
  if (::fstat(fd, &own) != 0) return lastError();
  const bool otherOwner = attributes.owner && (attributes.owner->uid != own.st_uid ||
                                               attributes.owner->gid != own.st_gid);
  if (otherOwner && ::fchown(fd, attributes.owner->uid, attributes.owner->gid) != 0) {
    return lastError();
  }
  if (::fchmod(fd, attributes.mode) != 0) return lastError();
  return {};
}

bool isPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

std::error_code replaceFileAtomicallyAt(int folderFd, const std::string& name,
                                        std::string_view contents,
                                        const std::optional<FileOwner>& owner,
                                        std::optional<mode_t> mode) {
  if (!isPlainName(name)) return std::make_error_code(std::errc::invalid_argument);
  const bool root = ::geteuid() == 0;
  ActingAsOwnerOf folderOwner(folderFd);
  if (!folderOwner.ok()) return std::make_error_code(std::errc::operation_not_permitted);
  Attributes attributes;
  if (auto error = attributesFor(folderFd, name, owner, mode, root && ::geteuid() != 0, attributes)) {
    return error;
  }
  MarkedTemporary::sweep(folderFd, MarkedTemporary::kRecordMarker, name);
  TempFile temp(folderFd, name);
  if (auto error = temp.create()) return error;
  if (auto error = writeWhole(temp.fd(), contents)) return error;
  // Owner and mode are set before the fsync so that they are as durable as the contents.
  if (auto error = applyAttributes(temp.fd(), attributes)) return error;
  if (::fsync(temp.fd()) != 0) return lastError();
  // The lock is held through the rename; the descriptor closes with `temp`.
  if (::renameat(folderFd, temp.name().c_str(), folderFd, name.c_str()) != 0) return lastError();
  temp.committed();
  // Some file systems cannot sync a folder at all; the rename itself has happened.
  if (::fsync(folderFd) != 0 && errno != EINVAL) return lastError();
  return {};
}

std::error_code replaceFileAtomically(const std::string& path, std::string_view contents,
                                      const std::optional<FileOwner>& owner,
                                      std::optional<mode_t> mode) {
  if (path.empty() || path.back() == '/') return std::make_error_code(std::errc::is_a_directory);
  // No link anywhere on the folder's path: a folder swapped for a link leads nowhere.
  UniqueFd folder = openWithoutLinks(folderOf(path), O_RDONLY | O_DIRECTORY);
  if (!folder.valid()) return lastError();
  const std::string name = nameOf(path);
  if (name == "." || name == "..") return std::make_error_code(std::errc::is_a_directory);
  return replaceFileAtomicallyAt(folder.get(), name, contents, owner, mode);
}

std::error_code removeFileNoFollow(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return lastError();
  return {};
}

}  // namespace platform
