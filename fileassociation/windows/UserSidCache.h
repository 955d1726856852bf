// The SID that HKEY_USERS requests are served under.
#pragma once

#include <optional>
#include <string>

namespace vondra {

// Keeps the shell user's SID once found, for the life of the library; until then every request
// looks again. One per process, without locking, like the natives.
class UserSidCache {
 public:
  static UserSidCache& instance();

  const std::optional<std::string>& sid();

 private:
  std::optional<std::string> _sid;
};

}  // namespace vondra
