#include "platform/EffectiveUserGuard.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/UserDatabase.h"

namespace platform {
namespace {

std::optional<std::string> environmentValue(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

// The login name when USER is not set: LOGNAME (the login name the login program sets), else
// the name recorded for the session (getlogin_r: the audit login uid, else the utmp entry of
// the controlling terminal), else, for a process with neither (a daemon, a job without a
// terminal), the name of the real user id.
std::optional<std::string> loginName() {
  if (auto name = environmentValue("LOGNAME")) return name;
  char buffer[256] = {};
  if (::getlogin_r(buffer, sizeof buffer) == 0 && buffer[0] != '\0') return std::string(buffer);
  if (auto entry = userEntryById(::getuid())) return entry->name;
  return std::nullopt;
}

}  // namespace

std::optional<LoggedInUser> loggedInUser() {
  auto name = environmentValue("USER");
  if (!name) name = loginName();
  if (!name) return std::nullopt;
  auto entry = userEntryByName(*name);
  if (!entry) return std::nullopt;
  return LoggedInUser{entry->name, entry->uid, entry->gid, entry->home};
}

// The user's group and supplementary groups come with the user id: with root's groups a read
// "as the user" would still reach what only group root may read.
EffectiveUserGuard::EffectiveUserGuard() : user_(loggedInUser()) {
  if (!user_ || user_->uid == ::geteuid() || ::geteuid() != 0) return;
  acting_.emplace(Credentials{user_->uid, user_->gid, groupsOfUser(user_->name, user_->gid)});
  switched_ = acting_->ok();
}

EffectiveUserGuard::~EffectiveUserGuard() = default;

}  // namespace platform
