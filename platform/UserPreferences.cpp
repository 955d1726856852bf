#include "platform/UserPreferences.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/PropertyListFile.h"

namespace platform {
namespace {

bool fileExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

// Creates each missing folder of path's parent, private to the user (as the platform keeps
// ~/Library and its Preferences).
bool createParentFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

}  // namespace

UserPreferences::UserPreferences(std::string home) : home_(std::move(home)) {}

std::string UserPreferences::pathOfDomain(const std::string& domain) const {
  std::string base = home_;
  while (!base.empty() && base.back() == '/') base.pop_back();  // "/" gives "", then "/Library"
  return base + "/Library/Preferences/" + domain + ".plist";
}

std::optional<PlistValue> UserPreferences::valueForKey(const std::string& domain,
                                                       const std::string& key) const {
  const auto root = PropertyListFile::read(pathOfDomain(domain), PropertyListFile::Links::Refuse);
  if (!root) return std::nullopt;
  const PlistDictionary* dictionary = root->asDictionary();
  if (dictionary == nullptr) return std::nullopt;
  const auto found = dictionary->find(key);
  if (found == dictionary->end()) return std::nullopt;
  return found->second;
}

bool UserPreferences::setValueForKey(const std::string& domain, const std::string& key,
                                     const std::optional<PlistValue>& value) const {
  const std::string path = pathOfDomain(domain);
  PlistValue root{PlistDictionary{}};
  if (fileExists(path)) {
    // A file we cannot read as a dictionary is left alone rather than replaced by one key.
    auto existing = PropertyListFile::read(path, PropertyListFile::Links::Refuse);
    if (!existing || existing->asDictionary() == nullptr) return false;
    root = std::move(*existing);
  } else if (!value) {
    return true;  // nothing to remove
  }
  PlistDictionary& dictionary = *root.asDictionary();
  if (value) {
    dictionary.insert_or_assign(key, *value);
  } else {
    dictionary.erase(key);
  }
  if (!createParentFolders(path)) return false;
  return !PropertyListFile::write(path, root);
}

}  // namespace platform
