#pragma once
// A named pasteboard shared by the processes of one user: one folder per pasteboard name in the
// user's private runtime folder, one property-list file per declared type holding its data.
//
// The user: for a process running as root, the logged-in user (USER, else the login name; the
// user whose preferences are read, EffectiveUserGuard.h), so that a root run's record reaches
// the user's own processes; any other process uses its effective user.
// The runtime folder is "/run/user/<uid>" when that is a real folder owned by the user with no
// rights for others, else "/run/rcp-pasteboards/<uid>": below a folder root makes (0755) that
// must belong to root and be writable by root alone, so no user can make another's folder
// first (as anyone could in /tmp); a parent that is not so is refused and logged. Only root
// makes that parent: a user's own process finds its folder once a root run has made it. The
// runtime folder depends on the user id alone (not on the environment), so a root run and the
// user's processes always meet in the same folder.
// The folders "<runtime>/pasteboards/<name>" are created owned by the user with mode 0700
// (a root run creates them and gives them to the user); a folder is refused when it is a link,
// not a folder, or open to others, and when it belongs to another user (except that a root run
// gives a root-owned one, which only an earlier root run can have left, to the user). Then the
// pasteboard is unusable.
// Every access below the runtime folder goes through folder descriptors without following a
// link. Files written are owned by the user (never left to root); declaring types empties the
// pasteboard. Data is stored only for a declared type and every file is replaced atomically,
// so a reader sees one writer's whole record.
#include <optional>
#include <string>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/PlistValue.h"
#include "platform/UniqueFd.h"

namespace platform {

class NamedPasteboard {
 public:
  explicit NamedPasteboard(const std::string& name);

  // False when the pasteboard folder is unusable.
  bool usable() const { return folder_.valid(); }

  // Replaces the declared types and removes all stored data.
  bool declareTypes(const std::vector<std::string>& types);
  std::vector<std::string> declaredTypes() const;

  // Stores a property list under a declared type, replacing what was there.
  bool setPropertyListForType(const PlistValue& value, const std::string& type);
  // None when the type is not declared or holds no data.
  std::optional<PlistValue> propertyListForType(const std::string& type) const;

 private:
  bool writeFile(const std::string& fileName, const PlistValue& value) const;
  std::optional<PlistValue> readFile(const std::string& fileName) const;

  FileOwner owner_{};
  UniqueFd folder_;
};

}  // namespace platform
