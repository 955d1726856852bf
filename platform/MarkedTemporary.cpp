#include "platform/MarkedTemporary.h"

#include <dirent.h>
#include <errno.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

namespace platform::MarkedTemporary {
namespace {

constexpr int kNameAttempts = 100;
constexpr char kHexDigits[] = "0123456789abcdef";

// Random bytes from the kernel; should the call fail, a mix of the process, the clock and a
// counter still gives distinct names, which O_EXCL and the next attempts keep unique.
void fillRandom(unsigned char* bytes, std::size_t size) {
  if (::getrandom(bytes, size, GRND_NONBLOCK) == static_cast<ssize_t>(size)) return;
  static std::atomic<unsigned long> counter{0};
  timespec now {};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  unsigned long value = static_cast<unsigned long>(::getpid()) * 2654435761ul ^
                        static_cast<unsigned long>(now.tv_nsec) ^ (++counter << 20);
  for (std::size_t i = 0; i < size; ++i) {
    value = value * 6364136223846793005ul + 1442695040888963407ul;
    bytes[i] = static_cast<unsigned char>(value >> 56);
  }
}

std::string randomHex() {
  unsigned char bytes[kRandomDigits / 2] = {};
  fillRandom(bytes, sizeof bytes);
  std::string text;
  for (unsigned char byte : bytes) {
    text += kHexDigits[byte >> 4];
    text += kHexDigits[byte & 0xf];
  }
  return text;
}

bool isLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

std::string prefixFor(const std::string& finalName, std::string_view marker) {
  return "." + finalName.substr(0, kFinalNameLimit) + std::string(marker);
}

// A link is removed itself; a regular file only while this sweep holds its lock, and only if
// the name still holds that very file.
void removeIfLeftover(int folderFd, const char* entry) {
  UniqueFd fd(::openat(folderFd, entry, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd.valid()) {
    struct stat link {};
    if (errno == ELOOP && ::fstatat(folderFd, entry, &link, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(link.st_mode)) {
      ::unlinkat(folderFd, entry, 0);
    }
    return;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return;
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return;  // a live run's
  struct stat named {};
  if (::fstatat(folderFd, entry, &named, AT_SYMLINK_NOFOLLOW) != 0 || named.st_ino != info.st_ino ||
      named.st_dev != info.st_dev) {
    return;
  }
  ::unlinkat(folderFd, entry, 0);
}

}  // namespace

std::string nameFor(const std::string& finalName, std::string_view marker) {
  return prefixFor(finalName, marker) + randomHex();
}

bool isName(std::string_view entry, std::string_view marker,
            const std::optional<std::string>& finalName) {
  // "." + at least one byte of the final name + marker + digits
  if (entry.size() < 2 + marker.size() + kRandomDigits || entry.front() != '.') return false;
  const std::string_view digits = entry.substr(entry.size() - kRandomDigits);
  for (char c : digits) {
    if (!isLowerHex(c)) return false;
  }
  const std::string_view head = entry.substr(0, entry.size() - kRandomDigits);
  if (finalName) return head == prefixFor(*finalName, marker);
  return head.ends_with(marker);
}

UniqueFd create(int folderFd, const std::string& finalName, std::string_view marker,
                std::string& name, int accessMode) {
  UniqueFd fd;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    name = nameFor(finalName, marker);
    fd.reset(::openat(folderFd, name.c_str(), accessMode | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      0600));
    if (fd.valid() || errno != EEXIST) break;
  }
  if (!fd.valid()) {
    name.clear();
    return fd;
  }
  if (::flock(fd.get(), LOCK_EX) != 0) {
    const int error = errno;
    ::unlinkat(folderFd, name.c_str(), 0);
    name.clear();
    errno = error;
    return UniqueFd();
  }
  return fd;
}

void sweep(int folderFd, std::string_view marker, const std::optional<std::string>& finalName) {
  const int listFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listFd < 0) return;
  DIR* folder = ::fdopendir(listFd);
  if (folder == nullptr) {
    ::close(listFd);
    return;
  }
  while (const dirent* entry = ::readdir(folder)) {
    if (entry->d_type == DT_DIR || !isName(entry->d_name, marker, finalName)) continue;
    removeIfLeftover(folderFd, entry->d_name);
  }
  ::closedir(folder);
}

}  // namespace platform::MarkedTemporary
