#pragma once
// File operations of an instance that run as root in folders the instance's owner can write:
// copies that never overwrite, deletes that remove a link itself, and folders and files made
// with the standard attributes (owner, group "admin", mode 0775). Paths are texts whose
// components are joined with "/", the way the instance's paths are formed everywhere.
//
// Every write enters the target's folder without following a link anywhere on its path and
// works relative to it (the *at calls), so a link planted in the instance never redirects a
// copy or a delete to another place; and every copy, create and delete in a folder is made as
// that folder's owner (platform/ActingAs.h; root only where root owns it), so a copy belongs to
// them and a swapped folder leads only where they could write anyway. Errors carry errno of the
// call that failed.
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace support::InstanceFiles {

// ---- Path texts ----
std::string appendPathComponent(const std::string& path, const std::string& name);
// The last component, trailing slashes ignored ("/a/b/" gives "b"; "/" gives "/").
std::string lastPathComponent(const std::string& path);
// The path without its last component, trailing slashes ignored ("/a/b/" gives "/a",
// "/a" gives "/", "a" gives "").
std::string deletingLastPathComponent(const std::string& path);
// True for a single name that stays inside its folder: not empty, no "/", not "." or "..".
bool isPlainFileName(const std::string& name);

// ---- Existence ----
// As the file manager sees it: links are followed, so a dangling link does not exist.
bool exists(const std::string& path);
bool isDirectory(const std::string& path);
// The path itself, link or not: a dangling link exists.
bool existsNoFollow(const std::string& path);
// A directory that is not a link to one.
bool isRealDirectory(const std::string& path);
// Entry names of a folder (without "." and ".."), sorted; empty when it cannot be read.
std::vector<std::string> folderEntries(const std::string& path);
// The same for an open folder.
std::vector<std::string> folderEntriesOf(int folderFd);

// ---- Copy and delete ----
// Copies a file, a link (as a link, never its target) or a whole folder tree to a target that
// must not exist yet (EEXIST otherwise, also for a dangling link). A file appears at the target
// complete or not at all: it is written under a temporary name (CopyTemporaries.h) that is
// renamed into place; temporaries that killed runs left in the target's folder are removed
// first. A file with more than one link is not copied (EMLINK). A failed folder copy removes
// what it made. Modes are carried over without set-id bits; owners are not.
std::error_code copyItemNoOverwrite(const std::string& source, const std::string& target);
// The same for an open regular file (of one link), copied from its current offset.
std::error_code copyOpenFileNoOverwrite(int source, const std::string& target);
// The same, replacing a file or link at the target in one rename: the target holds the old
// entry until the new file is complete, and keeps it when the copy fails. A folder at the
// target is never replaced (EISDIR).
std::error_code copyOpenFileReplacing(int source, const std::string& target);

// Removes a file, a link itself or a whole folder tree whose links are removed, never
// followed. A missing path is no error.
std::error_code removeItemNoFollow(const std::string& path);

// ---- Standard attributes ----
// The login name of the current (effective) user; none without a user database entry.
std::optional<std::string> loginName();
// The value of USER when set and not empty, else the login name.
std::optional<std::string> userOrLoginName();

// The standard attributes: owner (a user name), group "admin" and mode 0775.
// Creates a folder with the standard attributes. When they cannot be applied (or the name no
// longer holds the new folder, but a link or a file with a second name), the new folder is
// removed again, so the folder exists with its attributes or not at all.
std::error_code createFolderWithStandardAttributes(const std::string& path,
                                                   const std::string& owner);
// Replaces a file with the given contents (atomically); the new file has the standard
// attributes before it takes the name.
std::error_code replaceFileWithStandardAttributes(const std::string& path,
                                                  const std::string& contents,
                                                  const std::string& owner);

}  // namespace support::InstanceFiles
