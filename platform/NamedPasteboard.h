#pragma once
// A named pasteboard shared by the processes of one user: one folder per pasteboard name in the
// user's private runtime folder, one property-list file per declared type holding its data.
//
// The runtime folder is XDG_RUNTIME_DIR when set, else "/tmp/rcp-pasteboards-<euid>". It must be
// a real folder owned by the effective user with mode 0700 (created so when missing); anything
// else (a link, another owner, wider rights) is refused and the pasteboard is unusable.
// Declaring types empties the pasteboard. Data is stored only for a declared type and every
// file is replaced atomically, so a reader sees one writer's whole record.
#include <optional>
#include <string>
#include <vector>

#include "platform/PlistValue.h"

namespace platform {

class NamedPasteboard {
 public:
  explicit NamedPasteboard(const std::string& name);

  // False when the pasteboard folder is unusable.
  bool usable() const { return folder_.has_value(); }

  // Replaces the declared types and removes all stored data.
  bool declareTypes(const std::vector<std::string>& types);
  std::vector<std::string> declaredTypes() const;

  // Stores a property list under a declared type, replacing what was there.
  bool setPropertyListForType(const PlistValue& value, const std::string& type);
  // None when the type is not declared or holds no data.
  std::optional<PlistValue> propertyListForType(const std::string& type) const;

 private:
  std::string typeFile(const std::string& type) const;

  std::optional<std::string> folder_;
};

}  // namespace platform
