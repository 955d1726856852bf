#include "fileassociation/mac/InfoPlistFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "fileassociation/mac/MacAssocConstants.h"
#include "fileassociation/mac/ResolveError.h"
#include "platform/PropertyListFile.h"

namespace macassoc::InfoPlistFile {
namespace {

std::int32_t writeError(const std::error_code& error) {
  if (error.category() != std::generic_category() && error.category() != std::system_category()) {
    return coreFoundationUnknownErr;
  }
  switch (error.value()) {
    case EACCES:
    case EPERM:
    case EROFS:
      return kCFURLResourceAccessViolationError;
    case ENOENT:
    case ENOTDIR:
      return kCFURLResourceNotFoundError;
    default:
      return coreFoundationUnknownErr;
  }
}

// The file an Info.plist that is a symbolic link names: the library runs in the user's own
// process and edits the bundle's real Info.plist there, where a replacement of the link itself
// would leave a detached copy in the bundle. A path that cannot be resolved stays as it is.
std::string editedPath(const FileUrl& url) {
  std::error_code error;
  std::filesystem::path resolved = std::filesystem::canonical(url.path(), error);
  return error ? url.path() : resolved.string();
}

}  // namespace

std::int32_t getURL(std::string_view bundlePath, std::optional<FileUrl>& url) {
  url.reset();
  if (bundlePath.size() > kMaxBundlePathBytes) return kNoUrlStatus;
  if (bundlePath.find('\0') != std::string_view::npos) return kNoUrlStatus;
  std::string path(bundlePath);
  path += kInfoPlistSuffix;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return resolveErrorFromErrno(errno);
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) return kNoUrlStatus;
  url.emplace(absolute.string());
  return noErr;
}

std::int32_t readInfoFile(const FileUrl& url, std::optional<platform::PlistValue>& plist) {
  plist = platform::PropertyListFile::read(editedPath(url), platform::PropertyListFile::Links::Follow);
  return plist ? noErr : coreFoundationUnknownErr;
}

std::int32_t writeInfoFile(const FileUrl& url, const platform::PlistValue& plist) {
  std::error_code error = platform::PropertyListFile::write(editedPath(url), plist);
  return error ? writeError(error) : noErr;
}

}  // namespace macassoc::InfoPlistFile
