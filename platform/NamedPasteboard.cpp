#include "platform/NamedPasteboard.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/AtomicFile.h"
#include "platform/PropertyListFile.h"

namespace platform {
namespace {

constexpr const char* kTypesFileName = "declared-types.plist";

// Names become file names: everything but letters, digits, "_" and "-" is written as %XX, so
// no name can climb out of its folder or collide with the list of declared types.
std::string fileNameOf(const std::string& prefix, const std::string& name) {
  std::string out = prefix;
  for (unsigned char c : name) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '_' || c == '-';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

// A private folder: created 0700 when missing; must be a real folder of ours with no rights
// for anyone else.
bool ensurePrivateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

std::optional<std::string> runtimeFolder() {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  if (xdg != nullptr && *xdg == '/') return std::string(xdg);
  std::string fallback = "/tmp/rcp-pasteboards-" + std::to_string(::geteuid());
  if (!ensurePrivateFolder(fallback)) return std::nullopt;
  return fallback;
}

}  // namespace

NamedPasteboard::NamedPasteboard(const std::string& name) {
  std::optional<std::string> base = runtimeFolder();
  if (!base) return;
  std::string pasteboards = *base + "/pasteboards";
  std::string folder = pasteboards + "/" + fileNameOf("", name);
  if (ensurePrivateFolder(pasteboards) && ensurePrivateFolder(folder)) folder_ = folder;
}

std::string NamedPasteboard::typeFile(const std::string& type) const {
  return *folder_ + "/" + fileNameOf("type-", type) + ".plist";
}

bool NamedPasteboard::declareTypes(const std::vector<std::string>& types) {
  if (!folder_) return false;
  for (const std::string& old : declaredTypes()) removeFileNoFollow(typeFile(old));
  PlistArray list(types.begin(), types.end());
  return !PropertyListFile::write(*folder_ + "/" + kTypesFileName, PlistValue(std::move(list)));
}

std::vector<std::string> NamedPasteboard::declaredTypes() const {
  std::vector<std::string> types;
  if (!folder_) return types;
  std::optional<PlistValue> list = PropertyListFile::read(*folder_ + "/" + kTypesFileName);
  if (!list || !list->asArray()) return types;
  for (const PlistValue& entry : *list->asArray()) {
    if (const std::string* type = entry.asString()) types.push_back(*type);
  }
  return types;
}

bool NamedPasteboard::setPropertyListForType(const PlistValue& value, const std::string& type) {
  if (!folder_) return false;
  std::vector<std::string> declared = declaredTypes();
  if (std::find(declared.begin(), declared.end(), type) == declared.end()) return false;
  return !PropertyListFile::write(typeFile(type), value);
}

std::optional<PlistValue> NamedPasteboard::propertyListForType(const std::string& type) const {
  if (!folder_) return std::nullopt;
  std::vector<std::string> declared = declaredTypes();
  if (std::find(declared.begin(), declared.end(), type) == declared.end()) return std::nullopt;
  return PropertyListFile::read(typeFile(type));
}

}  // namespace platform
