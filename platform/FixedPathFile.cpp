#include "platform/FixedPathFile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/AtomicFile.h"
#include "platform/MarkedTemporary.h"

namespace platform {
namespace {

constexpr mode_t kFileMode = 0644;
// Each round removes what another user planted; only a user who plants again between our
// removal and our exclusive create makes another round needed.
constexpr int kAttempts = 4;

bool isOurs(const struct stat& info) { return info.st_uid == 0 || info.st_uid == ::geteuid(); }

// Another user's folder at the path cannot be unlinked and may hold their files: it moves aside
// within its folder, theirs as before, under a name nobody had ("." + name + ".moved-rcp-" +
// random hex digits). False when it stays.
bool moveAside(const std::string& path) {
  const std::filesystem::path place(path);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::string aside =
        (place.parent_path() / MarkedTemporary::nameFor(place.filename().string(), ".moved-rcp-")).string();
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == ENOENT) return true;
    if (errno != EEXIST) return false;
  }
  return false;
}

// Removes the entry at the path when it is another user's. False when one stays there.
bool removeIfForeign(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT;
  if (isOurs(info)) return true;
  if (S_ISDIR(info.st_mode)) return moveAside(path);
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

// The checks on what the descriptor opened, then blocking again and, when asked, truncated.
UniqueFd useOwnFile(UniqueFd fd, FixedPathMode mode) {
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1 ||
      !isOurs(info)) {
    return {};
  }
  const int status = ::fcntl(fd.get(), F_GETFL);
  if (status < 0 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) != 0) return {};
  if (mode == FixedPathMode::Truncate && ::ftruncate(fd.get(), 0) != 0) return {};
  return fd;
}

}  // namespace

UniqueFd openFixedPathForWriting(const std::string& path, FixedPathMode mode) {
  // O_NONBLOCK: opening a FIFO of ours must not wait for a reader; it is cleared after the
  // checks. No O_TRUNC: nothing may change before the file is known to be ours to write.
  int flags = O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  if (mode == FixedPathMode::Append) flags |= O_APPEND;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (!removeIfForeign(path)) return {};
    UniqueFd created(::open(path.c_str(), flags | O_CREAT | O_EXCL, kFileMode));
    if (created.valid()) return useOwnFile(std::move(created), mode);
    if (errno != EEXIST) return {};
    UniqueFd existing(::open(path.c_str(), flags));
    if (!existing.valid()) {
      if (errno == ENOENT) continue;  // removed since: make it
      return {};
    }
    struct stat info {};
    if (::fstat(existing.get(), &info) != 0) return {};
    if (!isOurs(info)) continue;  // planted since we looked: the next round removes it
    return useOwnFile(std::move(existing), mode);
  }
  return {};
}

UniqueFd openFixedPathForReading(const std::string& path) {
  // O_NONBLOCK keeps a FIFO planted at the path from hanging the open; fstat then refuses it.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
  if (!fd.valid()) return fd;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return {};
  int refusal = 0;
  if (!S_ISREG(info.st_mode)) {
    refusal = EINVAL;
  } else if (info.st_nlink != 1) {
    refusal = EMLINK;
  } else if (!isOurs(info)) {
    refusal = EPERM;
  }
  if (refusal == 0) return fd;
  fd.reset();
  errno = refusal;
  return {};
}

std::error_code replaceFixedPathFile(const std::string& path, std::string_view contents) {
  return replaceFileAtomically(path, contents, FileOwner{::geteuid(), ::getegid()}, kFileMode);
}

}  // namespace platform
