#include "fileassociation/mac/StoreFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "fileassociation/mac/MacAssocConstants.h"
#include "platform/HomeFolder.h"
#include "platform/PropertyListFile.h"

namespace macassoc::StoreFile {

std::string launchServicesPath(std::string_view fileName) {
  std::filesystem::path path(platform::homeFolder());
  path /= kLaunchServicesFolder;
  path /= fileName;
  return path.string();
}

std::optional<platform::PlistDictionary> load(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 && errno == ENOENT) return platform::PlistDictionary{};
  std::optional<platform::PlistValue> root = platform::PropertyListFile::read(path, platform::PropertyListFile::Links::Follow);
  if (!root || root->asDictionary() == nullptr) return std::nullopt;
  return std::move(*root->asDictionary());
}

std::error_code save(const std::string& path, const platform::PlistDictionary& root) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  if (error) return error;
  return platform::PropertyListFile::write(path, platform::PlistValue(root));
}

}  // namespace macassoc::StoreFile
