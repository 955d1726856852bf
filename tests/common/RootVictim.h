#pragma once
// A file of root's that only root may read, as the target of attacks on programs that run as
// root, and the checks that it came through: owner, group, mode and content as planted, and its
// content nowhere else than under its own inode.
//
//   RootVictim victim(dir / "victim");
//   ... plant links to victim.path, run the program ...
//   EXPECT_TRUE(victim.intact());
//   EXPECT_TRUE(victim.noCopyBelow(instanceFolder));
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace testing_support {

class RootVictim {
 public:
  // Looks like settings, so that a reader that took it for a record would carry it over.
  static constexpr const char* kContent = "secret=only root may read this 7f3a\n";

  explicit RootVictim(std::filesystem::path path) : path_(std::move(path)) {
    std::ofstream(path_, std::ios::binary) << kContent;
    if (::chown(path_.c_str(), 0, 0) != 0 || ::chmod(path_.c_str(), 0600) != 0) std::abort();
    inode_ = statusOf(path_).st_ino;
  }

  const std::filesystem::path& path() const { return path_; }

  ::testing::AssertionResult intact() const {
    const struct stat status = statusOf(path_);
    if (status.st_ino != inode_ || status.st_uid != 0 || status.st_gid != 0 ||
        (status.st_mode & 07777) != 0600 || textOf(path_) != kContent) {
      return ::testing::AssertionFailure()
             << path_ << " is now " << status.st_uid << ":" << status.st_gid << " mode " << std::oct
             << (status.st_mode & 07777) << " holding \"" << textOf(path_) << "\"";
    }
    return ::testing::AssertionSuccess();
  }

  // Every regular file below the folder that holds the secret is the victim itself (or
  // `another` victim), under one of the names planted for it: nothing read it and wrote it
  // elsewhere.
  ::testing::AssertionResult noCopyBelow(const std::filesystem::path& folder,
                                         const RootVictim* another = nullptr) const {
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
      const struct stat status = statusOf(it->path());
      if (!S_ISREG(status.st_mode) || status.st_ino == inode_) continue;
      if (another != nullptr && status.st_ino == another->inode_) continue;
      if (textOf(it->path()).find("only root may read this") != std::string::npos) {
        return ::testing::AssertionFailure() << it->path() << " holds the secret";
      }
    }
    return ::testing::AssertionSuccess();
  }

  bool isLinkedAs(const std::filesystem::path& name) const {
    return statusOf(name).st_ino == inode_;
  }

  // Owner `uid`, group "admin", mode 0775 (a link: owner and group only).
  static ::testing::AssertionResult repairedFor(const std::filesystem::path& path, uid_t uid) {
    const struct group* admin = ::getgrnam("admin");
    const struct stat status = statusOf(path);
    const bool modeRight = S_ISLNK(status.st_mode) || (status.st_mode & 07777) == 0775;
    if (admin != nullptr && status.st_uid == uid && status.st_gid == admin->gr_gid && modeRight) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << path << " is " << status.st_uid << ":" << status.st_gid
                                         << " mode " << std::oct << (status.st_mode & 07777);
  }

 private:
  static struct stat statusOf(const std::filesystem::path& path) {
    struct stat status {};
    ::lstat(path.c_str(), &status);
    return status;
  }
  static std::string textOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::filesystem::path path_;
  ino_t inode_ = 0;
};

}  // namespace testing_support
