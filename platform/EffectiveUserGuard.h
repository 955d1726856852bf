#pragma once
// Switches the process's effective user id to the logged-in user for the guard's lifetime and
// restores the previous one on destruction. The user is taken from USER, else the login name.
// When the user has no entry in the user database nothing is switched.
//
// "The login name", when USER is unset or empty, is the first of: LOGNAME; getlogin_r() (the
// session's audit login uid, else the utmp entry of the controlling terminal); the user
// database name of the real user id (for a process without a terminal or session, such as a
// daemon or a job started by a service: as root that is "root", so nothing is switched).
// Only the effective user id changes (seteuid): group ids and supplementary groups stay the
// process's, which is enough to read and write files the user owns, and the saved set-user-id
// keeps the way back. switched() is true only when the id was actually changed (not when the
// user already is the effective user, nor when seteuid failed). The switch affects the whole
// process: no other thread may touch files while a guard lives.
#include <optional>
#include <string>
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
  uid_t savedEuid_;
  bool switched_ = false;
};

}  // namespace platform
