#include "platform/PathBeneath.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <vector>

#ifdef __linux__
#include <linux/openat2.h>
#endif

namespace platform {
namespace {

constexpr int kAlwaysAdded = O_NOFOLLOW | O_CLOEXEC;
#ifdef O_PATH
constexpr int kStepFlags = O_PATH | O_NOFOLLOW | O_CLOEXEC;  // no read right needed to pass
#else
constexpr int kStepFlags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC;
#endif
// openat2 gives EAGAIN when a rename elsewhere raced a ".." step; it is safe to try again.
constexpr int kAttempts = 64;

std::atomic<bool> openat2Missing{false};

std::vector<std::string> componentsOf(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    if (!part.empty() && part != ".") parts.push_back(std::move(part));
    start = end + 1;
  }
  return parts;
}

// One folder step of the by-hand walk: the entry must be a real folder, not a link to one.
UniqueFd stepInto(int folder, const std::string& name) {
  UniqueFd next(::openat(folder, name.c_str(), kStepFlags));
  if (!next.valid()) return next;
  struct stat status {};
  if (::fstat(next.get(), &status) != 0) return {};
  if (S_ISDIR(status.st_mode)) return next;
  errno = S_ISLNK(status.st_mode) ? ELOOP : ENOTDIR;
  return {};
}

#if defined(__linux__) && defined(SYS_openat2)
// The kernel does the whole walk; -1 with ENOSYS where it cannot.
int openat2Resolving(int folder, const std::string& path, int flags, unsigned long long resolve) {
  open_how how{};
  how.flags = static_cast<unsigned>(flags | O_CLOEXEC);
  how.resolve = resolve;
  const char* name = path.empty() ? "." : path.c_str();
  long fd = -1;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    fd = ::syscall(SYS_openat2, folder, name, &how, sizeof how);
    if (fd >= 0 || (errno != EAGAIN && errno != EINTR)) break;
  }
  return static_cast<int>(fd);
}

int openat2Beneath(int folder, const std::string& path, int flags) {
  return openat2Resolving(folder, path, flags | kAlwaysAdded,
                          RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS);
}

int openat2InsideFollowingLinks(int folder, const std::string& path, int flags) {
  return openat2Resolving(folder, path, flags,
                          RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS | RESOLVE_NO_XDEV);
}
#else
int openat2Beneath(int, const std::string&, int) {
  errno = ENOSYS;
  return -1;
}

int openat2InsideFollowingLinks(int, const std::string&, int) {
  errno = ENOSYS;
  return -1;
}
#endif

using Opener = UniqueFd (*)(int, const std::string&, int);

UniqueFd openByHand(int folder, const std::string& relativePath, int flags) {
  if (!relativePath.empty() && relativePath.front() == '/') {
    errno = EXDEV;
    return {};
  }
  const std::vector<std::string> parts = componentsOf(relativePath);
  // The folders entered so far; ".." goes back along them, never through the file system.
  std::vector<UniqueFd> trail;
  auto current = [&] { return trail.empty() ? folder : trail.back().get(); };
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    if (parts[i] == "..") {
      if (trail.empty()) {
        errno = EXDEV;
        return {};
      }
      trail.pop_back();
      continue;
    }
    if (last) return UniqueFd(::openat(current(), parts[i].c_str(), flags | kAlwaysAdded));
    UniqueFd next = stepInto(current(), parts[i]);
    if (!next.valid()) return next;
    trail.push_back(std::move(next));
  }
  return UniqueFd(::openat(current(), ".", flags | kAlwaysAdded));
}

UniqueFd openInKernelOrByHand(int folder, const std::string& relativePath, int flags) {
  if (!openat2Missing.load(std::memory_order_relaxed)) {
    int fd = openat2Beneath(folder, relativePath, flags);
    if (fd >= 0 || errno != ENOSYS) return UniqueFd(fd);
    openat2Missing.store(true, std::memory_order_relaxed);
  }
  return openByHand(folder, relativePath, flags);
}

// Asked for a folder, the kernel reports a link in the last place as "not a directory"; this
// names it as the link it is (only on the way out of a failure).
UniqueFd openReportingLinks(Opener open, int folder, const std::string& relativePath, int flags) {
  UniqueFd fd = open(folder, relativePath, flags);
  if (fd.valid() || errno != ENOTDIR || (flags & O_DIRECTORY) == 0) return fd;
  UniqueFd last = open(folder, relativePath, kStepFlags);
  struct stat status {};
  const bool isLink = last.valid() && ::fstat(last.get(), &status) == 0 && S_ISLNK(status.st_mode);
  errno = isLink ? ELOOP : ENOTDIR;
  return {};
}

}  // namespace

UniqueFd openBeneath(int folder, const std::string& relativePath, int flags) {
  return openReportingLinks(openInKernelOrByHand, folder, relativePath, flags);
}

UniqueFd openBeneathByComponents(int folder, const std::string& relativePath, int flags) {
  return openReportingLinks(openByHand, folder, relativePath, flags);
}

UniqueFd openInsideFollowingLinks(int folder, const std::string& relativePath, int flags) {
  return UniqueFd(openat2InsideFollowingLinks(folder, relativePath, flags));
}

UniqueFd openWithoutLinks(const std::string& path, int flags) {
  if (path.empty()) {
    errno = ENOENT;
    return {};
  }
  const bool absolute = path.front() == '/';
  UniqueFd start(::open(absolute ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!start.valid()) return start;
  const std::size_t firstName = absolute ? path.find_first_not_of('/') : 0;
  return openBeneath(start.get(), firstName == std::string::npos ? "" : path.substr(firstName), flags);
}

}  // namespace platform
