#include "platform/AtomicFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/TempDir.h"
#include "platform/FileHelpers.h"

namespace {

using platform::removeFileNoFollow;
using platform::replaceFileAtomically;
using testing_support::folderEntries;
using testing_support::readWholeFile;
using testing_support::TempDir;
using testing_support::writeWholeFile;
using Names = std::vector<std::string>;

class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : saved_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(saved_); }

 private:
  mode_t saved_;
};

mode_t permissionsOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(0, ::lstat(path.c_str(), &info)) << path;
  return info.st_mode & 07777;
}

TEST(AtomicFileTest, ReplacesOrCreatesWithDefaultPermissions) {
  const struct {
    mode_t umask;
    bool existing;
    mode_t expected;
  } cases[] = {{022, true, 0644}, {027, false, 0640}, {0, true, 0666}, {077, false, 0600}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "umask " << std::oct << c.umask << " existing "
                                    << c.existing);
    TempDir dir;
    const std::string target = dir / "record.plist";
    if (c.existing) {
      writeWholeFile(target, "old contents that are longer than the new ones");
      ::chmod(target.c_str(), 0600);
    }
    ScopedUmask mask(c.umask);
    ASSERT_FALSE(replaceFileAtomically(target, "new"));
    EXPECT_EQ("new", readWholeFile(target));
    EXPECT_EQ(c.expected, permissionsOf(target));
    EXPECT_EQ(Names{"record.plist"}, folderEntries(dir.str()));
  }
}

TEST(AtomicFileTest, ReplacesALinkInsteadOfWritingThroughIt) {
  TempDir dir;
  const std::string victim = dir / "victim";
  const std::string link = dir / "record.plist";
  writeWholeFile(victim, "must stay");
  ASSERT_EQ(0, ::symlink(victim.c_str(), link.c_str()));

  ASSERT_FALSE(replaceFileAtomically(link, "new"));

  struct stat info {};
  ASSERT_EQ(0, ::lstat(link.c_str(), &info));
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ("new", readWholeFile(link));
  EXPECT_EQ("must stay", readWholeFile(victim));
}

TEST(AtomicFileTest, FailuresLeaveTheOldStateAndNoTemporaryFile) {
  TempDir dir;
  ASSERT_EQ(0, ::mkdir((dir / "folder").c_str(), 0755));
  writeWholeFile(dir / "folder/inside", "x");

  EXPECT_EQ(std::errc::no_such_file_or_directory,
            replaceFileAtomically(dir / "missing/record.plist", "new"));
  EXPECT_EQ(std::errc::is_a_directory, replaceFileAtomically(dir / "folder", "new"));

  EXPECT_EQ((Names{"folder"}), folderEntries(dir.str()));
  EXPECT_EQ(Names{"inside"}, folderEntries(dir / "folder"));
}

// A write that fails half-way (the file size limit stands in for a full disk).
TEST(AtomicFileTest, AFailedWriteKeepsTheOldFileWhole) {
  TempDir dir;
  const std::string target = dir / "record.plist";
  writeWholeFile(target, "old contents");

  struct rlimit saved {};
  ASSERT_EQ(0, ::getrlimit(RLIMIT_FSIZE, &saved));
  auto* savedHandler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(0, ::setrlimit(RLIMIT_FSIZE, &small));
  const std::error_code error = replaceFileAtomically(target, std::string(100000, 'n'));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, savedHandler);

  EXPECT_EQ(std::errc::file_too_large, error);
  EXPECT_EQ("old contents", readWholeFile(target));
  EXPECT_EQ(Names{"record.plist"}, folderEntries(dir.str()));
}

TEST(AtomicFileTest, RemoveTakesTheLinkNotItsTarget) {
  TempDir dir;
  const std::string victim = dir / "victim";
  const std::string link = dir / "link";
  writeWholeFile(victim, "must stay");
  ASSERT_EQ(0, ::symlink(victim.c_str(), link.c_str()));

  EXPECT_FALSE(removeFileNoFollow(link));
  EXPECT_FALSE(removeFileNoFollow(dir / "never-there"));
  EXPECT_EQ(std::errc::not_a_directory, removeFileNoFollow(victim + "/below-a-file"));

  EXPECT_EQ(Names{"victim"}, folderEntries(dir.str()));
  EXPECT_EQ("must stay", readWholeFile(victim));
}

}  // namespace
