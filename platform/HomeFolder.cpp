#include "platform/HomeFolder.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/UserDatabase.h"

namespace platform {

std::string homeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  if (auto entry = userEntryById(::geteuid())) return entry->home;
  // No HOME and no user entry: the root folder, so that "~/x" never turns into a path
  // relative to the working folder.
  return "/";
}

std::optional<std::string> homeFolderOfUser(uid_t uid) {
  if (auto entry = userEntryById(uid)) return entry->home;
  return std::nullopt;
}

std::string expandTildeInPath(const std::string& path) {
  if (path.empty() || path[0] != '~') return path;
  if (path.size() > 1 && path[1] != '/') return path;  // "~name/..." is left alone
  std::string home = homeFolder();
  const std::string rest = path.substr(1);
  // "/" + "/x" would give "//x".
  while (!rest.empty() && !home.empty() && home.back() == '/') home.pop_back();
  return home + rest;
}

}  // namespace platform
