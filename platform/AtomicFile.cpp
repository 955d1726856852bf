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
#include "platform/PathBeneath.h"
#include "platform/UniqueFd.h"

namespace platform {
namespace {

constexpr std::string_view kSuffixLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kSuffixLength = 6;
constexpr int kNameAttempts = 100;

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

// ".<name>.tmp-": the name is cut so that the whole stays below NAME_MAX.
std::string temporaryPrefix(const std::string& name) { return "." + name.substr(0, 200) + ".tmp-"; }

bool isTemporaryOf(std::string_view entry, const std::string& prefix) {
  if (entry.size() != prefix.size() + kSuffixLength || entry.substr(0, prefix.size()) != prefix) {
    return false;
  }
  return entry.substr(prefix.size()).find_first_not_of(kSuffixLetters) == std::string_view::npos;
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

// A leftover is a regular file of our naming that no writer holds locked: a live writer keeps
// its temporary under an exclusive flock until the rename.
void removeIfLeftover(int folderFd, const char* entry) {
  UniqueFd fd(::openat(folderFd, entry, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd.valid()) return;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return;
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return;
  struct stat named {};
  // Still the same file under that name (unlinkat never follows a link nor removes a folder).
  if (::fstatat(folderFd, entry, &named, AT_SYMLINK_NOFOLLOW) != 0 || named.st_ino != info.st_ino ||
      named.st_dev != info.st_dev) {
    return;
  }
  ::unlinkat(folderFd, entry, 0);
}

// Removes the temporaries that killed runs left for this target. Errors only mean that some
// leftover stays; they never stop the write.
void sweepLeftovers(int folderFd, const std::string& name) {
  const int listFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listFd < 0) return;
  DIR* folder = ::fdopendir(listFd);
  if (folder == nullptr) {
    ::close(listFd);
    return;
  }
  const std::string prefix = temporaryPrefix(name);
  while (const dirent* entry = ::readdir(folder)) {
    if (isTemporaryOf(entry->d_name, prefix)) removeIfLeftover(folderFd, entry->d_name);
  }
  ::closedir(folder);
}

// A few bytes come whole and uninterrupted once the kernel's pool is ready; should the call fail
// before, the zeros still make a name, which O_EXCL and the next attempts keep unique.
std::string randomSuffix() {
  unsigned char bytes[kSuffixLength] = {};
  (void)::getrandom(bytes, sizeof bytes, 0);
  std::string suffix;
  for (unsigned char byte : bytes) suffix += kSuffixLetters[byte % kSuffixLetters.size()];
  return suffix;
}

// A uniquely named file next to the target, locked while it lives; removed on destruction
// unless committed.
class TempFile {
 public:
  TempFile(int folderFd, const std::string& target) : folderFd_(folderFd), prefix_(temporaryPrefix(target)) {}
  ~TempFile() {
    if (!name_.empty()) ::unlinkat(folderFd_, name_.c_str(), 0);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  std::error_code create() {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      std::string name = prefix_ + randomSuffix();
      fd_.reset(::openat(folderFd_, name.c_str(),
                         O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
      if (fd_.valid()) {
        name_ = std::move(name);
        if (::flock(fd_.get(), LOCK_EX) != 0) return lastError();
        return {};
      }
      if (errno != EEXIST) return lastError();
    }
    return std::make_error_code(std::errc::file_exists);
  }

  int fd() const { return fd_.get(); }
  const std::string& name() const { return name_; }
  // After the rename the name belongs to the target: nothing left to remove.
  void committed() { name_.clear(); }

 private:
  int folderFd_;
  std::string prefix_;
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
  sweepLeftovers(folderFd, name);
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
