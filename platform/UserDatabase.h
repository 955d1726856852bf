#pragma once
// Look-ups in the user database (getpwnam_r / getpwuid_r with a buffer that grows as needed).
#include <optional>
#include <string>
#include <sys/types.h>

namespace platform {

struct UserEntry {
  std::string name;
  uid_t uid;
  gid_t gid;
  std::string home;
};

// None when there is no entry or the database cannot be read.
std::optional<UserEntry> userEntryByName(const std::string& name);
std::optional<UserEntry> userEntryById(uid_t uid);

}  // namespace platform
