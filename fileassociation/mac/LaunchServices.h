#pragma once
// Stand-in for the Launch Services default handlers. The handlers live where the system keeps
// them, in the "LSHandlers" array of the user's
// "~/Library/Preferences/com.apple.LaunchServices/com.apple.launchservices.secure.plist": one
// dictionary per content type with "LSHandlerContentType", the handler of all roles under
// "LSHandlerRoleAll" and the handler options under "LSHandlerOptions". Content types compare
// without regard to ASCII case, as identifiers do. Entries of other content types, and any other
// keys, are kept as they are. Only the role set kLSRolesAll is supported.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/PlistValue.h"

namespace macassoc {

class LaunchServices {
 public:
  explicit LaunchServices(std::string storePath) : _storePath(std::move(storePath)) {}
  // The store of the current user (homeFolder()).
  static LaunchServices forCurrentUser();

  // Makes the handler the default of the content type; the handler "default" gives the role
  // back (the role key goes, and the entry with it when nothing else is left in it). noErr;
  // paramErr for an empty content type or handler or another role set; kLSDataErr when the
  // store cannot be read; kLSUnknownErr when it cannot be written.
  std::int32_t setDefaultRoleHandlerForContentType(const std::string& contentType,
                                                   std::uint32_t roles,
                                                   const std::string& handler);
  // The default handler of the content type; none when there is none or the store is unreadable.
  std::optional<std::string> copyDefaultRoleHandlerForContentType(const std::string& contentType,
                                                                  std::uint32_t roles) const;
  // Sets "LSHandlerOptions" of the content type. Results as for setting the handler.
  std::int32_t setHandlerOptionsForContentType(const std::string& contentType,
                                               std::uint32_t options);

 private:
  using EntryEdit = std::function<void(platform::PlistDictionary& entry)>;
  std::int32_t editEntry(const std::string& contentType, const EntryEdit& edit);

  std::string _storePath;
};

}  // namespace macassoc
