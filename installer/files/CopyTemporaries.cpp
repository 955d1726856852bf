#include "installer/files/CopyTemporaries.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/random.h>
#include <unistd.h>

#include <cstring>

#include "installer/files/DirectoryStream.h"

namespace support {

namespace {

constexpr const char* kMarker = ".copy-";
constexpr std::size_t kMarkerLength = 6;
constexpr std::size_t kSuffixDigits = 12;
constexpr std::size_t kNameLimit = 200;
constexpr int kAttempts = 100;

std::string randomSuffix() {
  unsigned char bytes[kSuffixDigits / 2] = {};
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    static unsigned counter = 0;
    const unsigned value = static_cast<unsigned>(::getpid()) * 7919u + ++counter;
    for (unsigned i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<unsigned char>(value >> (i * 5));
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xf];
  }
  return text;
}

bool isLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

}  // namespace

std::string copyTemporaryNameFor(const std::string& finalName) {
  return "." + finalName.substr(0, kNameLimit) + kMarker + randomSuffix();
}

bool isCopyTemporaryName(const char* name) {
  const std::size_t length = std::strlen(name);
  // "." + at least one byte of the final name + marker + digits
  if (name[0] != '.' || length < 2 + kMarkerLength + kSuffixDigits) return false;
  const char* suffix = name + length - kSuffixDigits;
  if (std::strncmp(suffix - kMarkerLength, kMarker, kMarkerLength) != 0) return false;
  for (std::size_t i = 0; i < kSuffixDigits; ++i) {
    if (!isLowerHex(suffix[i])) return false;
  }
  return true;
}

void removeCopyTemporaries(int folderFd) {
  DirectoryStream entries(platform::UniqueFd(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
  while (const dirent64* entry = entries.next()) {
    if (entry->d_type == DT_DIR || !isCopyTemporaryName(entry->d_name)) continue;
    ::unlinkat(folderFd, entry->d_name, 0);  // a folder of that name fails here and stays
  }
}

platform::UniqueFd createCopyTemporary(int folderFd, const std::string& finalName,
                                       std::string& temporaryName) {
  platform::UniqueFd fd;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    temporaryName = copyTemporaryNameFor(finalName);
    fd.reset(::openat(folderFd, temporaryName.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.valid() || errno != EEXIST) break;
  }
  if (!fd.valid()) temporaryName.clear();
  return fd;
}

bool renameCopyTemporaryNoReplace(int folderFd, const std::string& temporaryName,
                                  const char* finalName) {
  if (::renameat2(folderFd, temporaryName.c_str(), folderFd, finalName, RENAME_NOREPLACE) == 0) {
    return true;
  }
  int error = errno;
  // No RENAME_NOREPLACE here (the C library reports a kernel without renameat2 the same way as
  // a file system without the flag): a hard link fails as well when the name exists.
  if (error == EINVAL) {
    if (::linkat(folderFd, temporaryName.c_str(), folderFd, finalName, 0) == 0) {
      ::unlinkat(folderFd, temporaryName.c_str(), 0);
      return true;
    }
    error = errno;
  }
  ::unlinkat(folderFd, temporaryName.c_str(), 0);
  errno = error;
  return false;
}

}  // namespace support
