#include "ShortcutSweep.h"

#include <cwchar>
#include <optional>

#include "VondraRegConstants.h"
#include "WinResource.h"

namespace vondra {
namespace {

enum class Treatment { scan, walk };

struct ShellFolder {
  int csidl;
  Treatment treatment;
};

const ShellFolder kFolders[] = {
    {CSIDL_DESKTOPDIRECTORY, Treatment::scan},
    {CSIDL_COMMON_DESKTOPDIRECTORY, Treatment::scan},
    {CSIDL_COMMON_PROGRAMS, Treatment::walk},
    {CSIDL_PROGRAMS, Treatment::walk},
};

// The folder's current path with a trailing backslash; none when the shell has no such folder.
std::optional<std::wstring> shellFolderPath(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return std::nullopt;
  path[MAX_PATH - 1] = L'\0';
  // An empty path plus the backslash would name the root of the current drive.
  if (path[0] == L'\0') return std::nullopt;
  return std::wstring(path) + L'\\';
}

bool isProtected(const wchar_t* name) {
  for (const wchar_t* protectedName : kProtectedShortcuts) {
    if (std::wcscmp(name, protectedName) == 0) return true;
  }
  return false;
}

bool isDirectory(const WIN32_FIND_DATAW& entry) {
  return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Calls visit for every entry that matches the pattern inside the folder.
template <class Visit>
void forEachEntry(const std::wstring& folder, const wchar_t* pattern, Visit visit) {
  WIN32_FIND_DATAW entry;
  const UniqueFindHandle found(FindFirstFileW((folder + pattern).c_str(), &entry));
  if (!found) return;
  do {
    visit(entry);
  } while (FindNextFileW(found.get(), &entry));
}

}  // namespace

ShortcutSweep::ShortcutSweep(std::string target) : _target(std::move(target)) {}

void ShortcutSweep::run() const {
  for (const ShellFolder& folder : kFolders) {
    const auto path = shellFolderPath(folder.csidl);
    if (!path) continue;
    if (folder.treatment == Treatment::scan) {
      scan(*path);
    } else {
      walk(*path);
    }
  }
}

void ShortcutSweep::walk(const std::wstring& folder) const {
  forEachEntry(folder, L"*", [&](const WIN32_FIND_DATAW& entry) {
    if (isDirectory(entry)) scan(folder + entry.cFileName + L'\\');
  });
}

void ShortcutSweep::scan(const std::wstring& folder) const {
  // One link object serves every shortcut of the folder.
  ComRef<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(link.receive())))) {
    return;
  }
  forEachEntry(folder, L"*.lnk", [&](const WIN32_FIND_DATAW& entry) {
    if (!isDirectory(entry)) examine(link.get(), folder, entry.cFileName);
  });
}

void ShortcutSweep::examine(IShellLinkA* link, const std::wstring& folder, const wchar_t* name) const {
  if (isProtected(name)) return;
  const std::wstring file = folder + name;
  if (pointsAtTarget(link, file)) DeleteFileW(file.c_str());
}

bool ShortcutSweep::pointsAtTarget(IShellLinkA* link, const std::wstring& file) const {
  ComRef<IPersistFile> persist;
  if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(persist.receive())))) {
    return false;
  }
  if (FAILED(persist.get()->Load(file.c_str(), STGM_READ))) return false;
  char targetPath[MAX_PATH] = {};
  if (FAILED(link->GetPath(targetPath, MAX_PATH, nullptr, SLGP_UNCPRIORITY))) return false;
  targetPath[MAX_PATH - 1] = '\0';
  return std::string_view(targetPath).find(_target) != std::string_view::npos;
}

}  // namespace vondra
