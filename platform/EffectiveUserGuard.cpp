#include "platform/EffectiveUserGuard.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/SystemLog.h"
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

// Only the effective user id changes: the group ids and supplementary groups stay those of
// the process, which is enough to read files the user owns. The saved set-user-id keeps the
// way back.
EffectiveUserGuard::EffectiveUserGuard() : user_(loggedInUser()), savedEuid_(::geteuid()) {
  if (user_ && user_->uid != savedEuid_) switched_ = ::seteuid(user_->uid) == 0;
}

EffectiveUserGuard::~EffectiveUserGuard() {
  if (switched_ && ::seteuid(savedEuid_) != 0) {
    SystemLog::log(kLogError, "cannot restore the effective user id %u: %s",
                   static_cast<unsigned>(savedEuid_), std::strerror(errno));
  }
}

}  // namespace platform
