#pragma once
// Switches the process's effective user id to the logged-in user for the guard's lifetime and
// restores the previous one on destruction. The user is taken from USER, else the login name.
// When the user has no entry in the user database nothing is switched.
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
