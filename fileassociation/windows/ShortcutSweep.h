// Removal of the shortcuts that point at an uninstalled program.
#pragma once

#include <shlobj.h>

#include <string>

namespace vondra {

// Deletes the shortcuts on the user's and all users' desktops and in the program menus whose
// target path contains a text (case-sensitive), except the suite's three document shortcuts.
// Desktops are scanned; program menus are walked: the menu folder itself (its "." entry), the
// folder above it (its ".." entry) and each immediate sub-folder, but nothing deeper. Folders,
// links and files that cannot be read are skipped; a failed deletion is ignored.
class ShortcutSweep {
 public:
  explicit ShortcutSweep(std::string target);

  // Needs COM on the calling thread.
  void run() const;

 private:
  void walk(const std::wstring& folder) const;
  void scan(const std::wstring& folder) const;
  void examine(IShellLinkA* link, const std::wstring& folder, const wchar_t* name) const;
  bool pointsAtTarget(IShellLinkA* link, const std::wstring& file) const;

  std::string _target;
};

}  // namespace vondra
