#pragma once
// Acting with another user's rights for a while: root takes on a user's effective user id,
// effective group id and supplementary groups, so that the kernel applies that user's rights
// (modes, ACLs, search rights, link rules) to every path it opens, and takes root's back after.
//
// Only the effective ids change (setresuid/setresgid with the real and saved ids kept root's),
// so the way back is always open. The C library applies set*id to every thread of the process;
// the programs are single-threaded, and nothing else may touch files while a switch lasts.
//
//   platform::ActingAs maker(credentials);
//   if (!maker.ok()) return refused;   // never open with root's rights instead
//   ... opens ...
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace platform {

struct Credentials {
  uid_t uid;
  gid_t gid;
  std::vector<gid_t> groups;  // every group the user is in, `gid` among them
};

// The group "nogroup": what a user without an entry in the user database is given.
inline constexpr gid_t kNoGroup = 65534;

// Every group the user is in (getgrouplist, asked again with the size it reports until the list
// fits); only `gid` when the list cannot be had whole, never a list padded with group 0.
std::vector<gid_t> groupsOfUser(const std::string& name, gid_t gid);

// A user's credentials from the user database; a user id without an entry gets "nogroup".
Credentials credentialsOfUser(uid_t uid);

class ActingAs {
 public:
  // Switches when the process runs as root and the credentials are not root's. A process that
  // is not root cannot switch and has only its own rights anyway: ok() then holds only when it
  // already is that user (or the credentials are root's, which mean "as the process is").
  explicit ActingAs(const Credentials& credentials);
  ~ActingAs();
  ActingAs(const ActingAs&) = delete;
  ActingAs& operator=(const ActingAs&) = delete;

  // True when the process now acts with those credentials (or needs no switch); false when the
  // switch failed, and then nothing may be done that relied on it.
  bool ok() const { return ok_; }

 private:
  void restore();

  uid_t savedUid_;
  gid_t savedGid_;
  std::vector<gid_t> savedGroups_;
  bool groupsSwitched_ = false;
  bool gidSwitched_ = false;
  bool uidSwitched_ = false;
  bool ok_ = false;
};

// Acts as the owner of an open folder (the credentials of the user who owns it, looked up once
// per user and run); as the process is when root owns it. What is created, replaced, renamed or
// removed in that folder meanwhile is done with the owner's rights only, and belongs to them.
class ActingAsOwnerOf {
 public:
  explicit ActingAsOwnerOf(int folderFd);
  bool ok() const { return acting_ ? acting_->ok() : ok_; }

 private:
  std::optional<ActingAs> acting_;
  bool ok_ = false;
};

}  // namespace platform
