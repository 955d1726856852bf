// Opening a path below a folder without leaving it or following a link, through the kernel's
// openat2 and through the by-hand walk a system without it uses: both give the same answers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/TempDir.h"
#include "common/WithoutSyscalls.h"
#include "platform/DescriptorAttributes.h"
#include "platform/PathBeneath.h"

namespace {

namespace fs = std::filesystem;
using platform::UniqueFd;

ino_t inodeOf(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 ? status.st_ino : 0;
}

TEST(PathBeneathTest, StaysBelowTheFolderAndNeverFollowsALink) {
  testing_support::TempDir dir;
  const std::string base = dir / "base";
  fs::create_directories(base + "/a/b");
  fs::create_directories(dir / "outside");
  std::ofstream(base + "/a/file") << "x";
  fs::create_directory_symlink(dir / "outside", base + "/a/toOutside");
  fs::create_directory_symlink("b", base + "/a/toB");
  fs::create_symlink("file", base + "/a/toFile");
  UniqueFd folder(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(folder.valid());

  struct Case {
    const char* path;
    int flags;
    const char* opens;  // the entry opened (relative to base), or none
    int error;
  };
  constexpr int kFolder = O_RDONLY | O_DIRECTORY;
  const Case cases[] = {
      {"a/b", kFolder, "a/b", 0},
      {"./a//b/", kFolder, "a/b", 0},
      {"", kFolder, ".", 0},
      {"a/b/..", kFolder, "a", 0},
      {"a/../a/file", O_RDONLY, "a/file", 0},
      {"a/toB", kFolder, nullptr, ELOOP},
      {"a/toB/", kFolder, nullptr, ELOOP},
      {"a/toOutside/x", O_RDONLY, nullptr, ELOOP},
      {"a/toFile", O_RDONLY, nullptr, ELOOP},
      {"a/toFile", O_PATH, "a/toFile", 0},  // asked for as a link, the link itself
      {"..", kFolder, nullptr, EXDEV},
      {"a/../../base", kFolder, nullptr, EXDEV},
      {"/etc", kFolder, nullptr, EXDEV},
      {"a/missing", kFolder, nullptr, ENOENT},
      {"a/file/x", O_RDONLY, nullptr, ENOTDIR},
      {"a/file", kFolder, nullptr, ENOTDIR},
  };
  for (auto open : {platform::openBeneath, platform::openBeneathByComponents}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(open == platform::openBeneath ? "kernel: " : "by hand: ") + c.path);
      errno = 0;
      UniqueFd fd = open(folder.get(), c.path, c.flags);
      if (c.opens == nullptr) {
        EXPECT_FALSE(fd.valid());
        EXPECT_EQ(errno, c.error) << std::strerror(errno);
        continue;
      }
      ASSERT_TRUE(fd.valid()) << std::strerror(errno);
      struct stat status {};
      ASSERT_EQ(::fstat(fd.get(), &status), 0);
      EXPECT_EQ(status.st_ino, inodeOf(base + "/" + c.opens));
      EXPECT_TRUE(::fcntl(fd.get(), F_GETFD) & FD_CLOEXEC);
    }
  }

  UniqueFd whole = platform::openWithoutLinks(base + "/a/b", O_RDONLY | O_DIRECTORY);
  ASSERT_TRUE(whole.valid());
  EXPECT_FALSE(platform::openWithoutLinks(base + "/a/toB", O_RDONLY | O_DIRECTORY).valid());
  EXPECT_EQ(errno, ELOOP);
  fs::create_directory_symlink(base, dir / "linkToBase");
  EXPECT_FALSE(platform::openWithoutLinks(dir / "linkToBase/a/b", O_RDONLY | O_DIRECTORY).valid());
  EXPECT_EQ(errno, ELOOP) << "a link above the folder counts as much as one below";
  EXPECT_FALSE(platform::openWithoutLinks("", O_RDONLY).valid());
}

// Run without openat2 (437) and fchmodat2 (452), numbers that are the same on every
// architecture: 0 when every answer is right, else the failed step.
int checkFallbacks(const std::string& base) {
  if (::syscall(SYS_openat2, AT_FDCWD, ".", nullptr, 0) != -1 || errno != ENOSYS) return 11;
  UniqueFd folder(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!platform::openBeneath(folder.get(), "a/b", O_RDONLY | O_DIRECTORY).valid()) return 12;
  if (platform::openBeneath(folder.get(), "a/toB", O_RDONLY | O_DIRECTORY).valid() || errno != ELOOP) return 13;
  if (platform::openBeneath(folder.get(), "a/../..", O_RDONLY | O_DIRECTORY).valid() || errno != EXDEV) return 14;
  UniqueFd pinned = platform::pinEntryNoFollow(folder.get(), "a/file");
  struct stat status {};
  if (platform::changeModeThrough(pinned.get(), 0640) != 0 || ::fstat(pinned.get(), &status) != 0 ||
      (status.st_mode & 07777) != 0640) {
    return 15;
  }
  return 0;
}

TEST(PathBeneathTest, WithoutOpenat2AndFchmodat2TheFallbacksTakeOver) {
  testing_support::TempDir dir;
  const std::string base = dir / "base";
  fs::create_directories(base + "/a/b");
  std::ofstream(base + "/a/file") << "x";
  fs::create_directory_symlink("b", base + "/a/toB");
  ::chmod((base + "/a/file").c_str(), 0600);

  EXPECT_EQ(testing_support::runWithoutSyscalls({437, 452}, [&] { return checkFallbacks(base); }), 0)
      << "the step that failed";
}

}  // namespace
