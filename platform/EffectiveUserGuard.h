#pragma once
// Acts as the logged-in user for the guard's lifetime (their user id, group id and every
// supplementary group: platform/ActingAs.h) and is root again on destruction. The user is taken from USER, else the login name.
// When the user has no entry in the user database nothing is switched.
//
// "The login name", when USER is unset or empty, is the first of: LOGNAME; getlogin_r() (the
// session's audit login uid, else the utmp entry of the controlling terminal); the user
// database name of the real user id (for a process without a terminal or session, such as a
// daemon or a job started by a service: as root that is "root", so nothing is switched).
// All of the user's credentials, never root's groups: a folder only group root may read is not
// read for the user. The real and saved ids stay the process's, which keeps the way back.
// switched() is true only when the ids were actually changed (not when the user already is the
// effective user, nor when the switch failed). The switch affects the whole
// process: no other thread may touch files while a guard lives.
#include <optional>
#include <string>

#include "platform/ActingAs.h"
#include <sys/types.h>

namespace platform {

struct LoggedInUser {
  std::string name;
  uid_t uid;
  gid_t gid;
  std::string home;
};

// The logged-in user (USER, else the login name) looked up in the user database.
std::optional<LoggedInUser> loggedInUser();

class EffectiveUserGuard {
 public:
  EffectiveUserGuard();
  ~EffectiveUserGuard();
  EffectiveUserGuard(const EffectiveUserGuard&) = delete;
  EffectiveUserGuard& operator=(const EffectiveUserGuard&) = delete;

  // The user found, or none (then nothing was switched).
  const std::optional<LoggedInUser>& user() const { return user_; }
  bool switched() const { return switched_; }

 private:
  std::optional<LoggedInUser> user_;
  std::optional<ActingAs> acting_;
  bool switched_ = false;
};

}  // namespace platform
