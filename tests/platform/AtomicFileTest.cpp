#include "platform/AtomicFile.h"
#include "platform/MarkedTemporary.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>

#include "common/FileHelpers.h"
#include "common/SoftLimit.h"
#include "common/TempDir.h"
#include "common/TestUser.h"
#include "platform/DescriptorBytes.h"
#include "platform/UniqueFd.h"

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

std::pair<uid_t, gid_t> ownerOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(0, ::lstat(path.c_str(), &info)) << path;
  return {info.st_uid, info.st_gid};
}

mode_t permissionsOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(0, ::lstat(path.c_str(), &info)) << path;
  return info.st_mode & 07777;
}

// A new file gets the default bits; a replaced one keeps its mode whatever the umask.
TEST(AtomicFileTest, NewFilesGetDefaultBitsAndReplacedOnesKeepTheirMode) {
  const struct {
    mode_t umask;
    std::optional<mode_t> oldMode;
    mode_t expected;
  } cases[] = {{022, std::nullopt, 0644}, {027, std::nullopt, 0640}, {077, std::nullopt, 0600},
               {022, 0660, 0660},         {0, 0600, 0600},            {077, 02754, 02754}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "umask " << std::oct << c.umask << " old mode "
                                    << c.oldMode.value_or(0));
    TempDir dir;
    const std::string target = dir / "record.plist";
    if (c.oldMode) {
      writeWholeFile(target, "old contents that are longer than the new ones");
      ASSERT_EQ(0, ::chmod(target.c_str(), *c.oldMode));
    }
    ScopedUmask mask(c.umask);
    const std::size_t descriptors = folderEntries("/proc/self/fd").size();
    ASSERT_FALSE(replaceFileAtomically(target, "new"));
    EXPECT_EQ(descriptors, folderEntries("/proc/self/fd").size()) << "every descriptor is closed again";
    EXPECT_EQ("new", readWholeFile(target));
    EXPECT_EQ(c.expected, permissionsOf(target));
    EXPECT_EQ(Names{"record.plist"}, folderEntries(dir.str()));
  }
}

TEST(AtomicFileTest, AReplacedFileKeepsItsOwnerGroupAndModeAndGivenOnesWin) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving files away needs root";
  TempDir dir;
  const std::string target = dir / "record.plist";
  writeWholeFile(target, "old");
  ASSERT_EQ(0, ::chown(target.c_str(), 4242, 4343));
  ASSERT_EQ(0, ::chmod(target.c_str(), 0640));
  ASSERT_FALSE(replaceFileAtomically(target, "new"));
  EXPECT_EQ(std::make_pair(uid_t{4242}, gid_t{4343}), ownerOf(target));
  EXPECT_EQ(0640u, permissionsOf(target));

  platform::UniqueFd folder(::open(dir.str().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_FALSE(platform::replaceFileAtomicallyAt(folder.get(), "new.plist", "new",
                                                 platform::FileOwner{4545, 4646}));
  EXPECT_EQ(std::make_pair(uid_t{4545}, gid_t{4646}), ownerOf(dir / "new.plist"));
  ASSERT_FALSE(replaceFileAtomically(target, "newer", platform::FileOwner{4545, 4646}, 0775));
  EXPECT_EQ(std::make_pair(uid_t{4545}, gid_t{4646}), ownerOf(target));
  EXPECT_EQ(0775u, permissionsOf(target)) << "a given mode wins over the replaced file's";
  ASSERT_FALSE(replaceFileAtomically(dir / "fresh.plist", "new"));
  EXPECT_EQ(std::make_pair(uid_t{0}, ::getegid()), ownerOf(dir / "fresh.plist"));
  EXPECT_EQ(std::errc::invalid_argument,
            platform::replaceFileAtomicallyAt(folder.get(), "../escape", "new"));
}

// Only the temporaries that killed runs left for this very target go: the exact marked shape
// (24 lowercase hex digits), not held by a live writer; a link of that shape goes itself, never
// followed. A user's file that merely looks like a backup stays.
TEST(AtomicFileTest, LeftoverTemporariesOfTheTargetAreSweptAndNothingElse) {
  TempDir dir;
  const std::string victim = dir / "victim";
  writeWholeFile(victim, "must stay");
  const std::string marked = ".record.plist.tmp-rcp-";
  const std::string digits = "0123456789abcdef01234567";
  const Names kept = {".other.plist.tmp-rcp-" + digits, marked + digits.substr(1),
                      marked + digits + "8",           marked + "0123456789ABCDEF01234567",
                      marked + "0000456789abcdef01234567",
                      "record.plist.tmp-rcp-" + digits, ".record.plist.tmp-backup",
                      ".record.plist.tmp-AbC123"};
  for (const std::string& name : kept) writeWholeFile(dir / name, "x");
  writeWholeFile(dir / (marked + digits), "leftover");
  writeWholeFile(dir / (marked + "ffffffffffffffffffffffff"), "leftover");
  ASSERT_EQ(0, ::symlink(victim.c_str(), (dir / (marked + "111111111111111111111111")).c_str()));
  ASSERT_EQ(0, ::mkdir((dir / (marked + "222222222222222222222222")).c_str(), 0700));
  ASSERT_EQ(0, ::mkfifo((dir / (marked + "333333333333333333333333")).c_str(), 0600));
  platform::UniqueFd held(::open((dir / kept[4]).c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_EQ(0, ::flock(held.get(), LOCK_EX)) << "a writer that is still running";

  ASSERT_FALSE(replaceFileAtomically(dir / "record.plist", "new"));

  Names expected = kept;
  expected.insert(expected.end(), {marked + "222222222222222222222222",
                                   marked + "333333333333333333333333", "record.plist", "victim"});
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, folderEntries(dir.str()));
  EXPECT_EQ("must stay", readWholeFile(victim));
}

// Fresh names carry 24 random lowercase hex digits: every digit turns up, no two names agree.
TEST(AtomicFileTest, TemporaryNamesCarryRandomHexDigits) {
  namespace marked = platform::MarkedTemporary;
  std::set<std::string> names;
  std::set<char> seen;
  for (int i = 0; i < 64; ++i) {
    const std::string name = marked::nameFor("record.plist", marked::kRecordMarker);
    ASSERT_EQ(name.size(), std::string(".record.plist.tmp-rcp-").size() + 24) << name;
    EXPECT_TRUE(marked::isName(name, marked::kRecordMarker, std::string("record.plist"))) << name;
    EXPECT_FALSE(marked::isName(name, marked::kCopyMarker)) << name;
    seen.insert(name.end() - 24, name.end());
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 64u);
  EXPECT_EQ(std::string(seen.begin(), seen.end()), "0123456789abcdef");
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
  writeWholeFile(dir / ".folder.tmp-AbC123", "a killed run's, swept only by a write that happens");

  EXPECT_EQ(std::errc::no_such_file_or_directory,
            replaceFileAtomically(dir / "missing/record.plist", "new"));
  EXPECT_EQ(std::errc::is_a_directory, replaceFileAtomically(dir / "folder", "new"));

  EXPECT_EQ((Names{".folder.tmp-AbC123", "folder"}), folderEntries(dir.str()));
  EXPECT_EQ(Names{"inside"}, folderEntries(dir / "folder"));
}

// A write that fails half-way (the file size limit stands in for a full disk).
TEST(AtomicFileTest, AFailedWriteKeepsTheOldFileWhole) {
  TempDir dir;
  const std::string target = dir / "record.plist";
  writeWholeFile(target, "old contents");

  std::error_code error;
  {
    testing_support::SoftLimit fileSize(RLIMIT_FSIZE, 4096);
    error = replaceFileAtomically(target, std::string(100000, 'n'));
  }

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

// Whole reads stop at the cap and fail on what cannot be read; whole writes report the failure.
TEST(DescriptorBytesTest, ReadsUpToTheCapAndReportsFailures) {
  TempDir dir;
  const std::string path = dir / "three";
  writeWholeFile(path, "abc");
  auto readAll = [&](std::size_t cap) {
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return platform::readWhole(fd.get(), cap);
  };
  EXPECT_EQ(readAll(3), "abc");
  EXPECT_EQ(readAll(2), std::nullopt);
  platform::UniqueFd folder(::open(dir.str().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  EXPECT_EQ(platform::readWhole(folder.get(), 100), std::nullopt);
  platform::UniqueFd readOnly(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  EXPECT_EQ(platform::writeWhole(readOnly.get(), "x"), std::error_code(EBADF, std::generic_category()));
  EXPECT_EQ(readWholeFile(path), "abc");
}

}  // namespace

namespace {

// In a folder of a user's, a record is replaced as that user: the new file is theirs and keeps
// the old file's mode, a given owner is not applied, and a folder of the path swapped for a link
// to root's folder leads nowhere. In root's folder root writes as before.
TEST(AtomicFileTest, WritesAsTheOwnerOfTheFolder) {
  RCP_WITH_TEST_USER(user);
  const std::string own = user.scratch + "/own";
  const std::string roots = user.scratch + "/roots";
  ASSERT_EQ(0, ::mkdir(own.c_str(), 0755));
  ASSERT_EQ(0, ::chown(own.c_str(), user.uid, user.gid));
  ASSERT_EQ(0, ::mkdir(roots.c_str(), 0755));
  writeWholeFile(own + "/record", "old");
  ASSERT_EQ(0, ::chmod((own + "/record").c_str(), 0640));
  writeWholeFile(roots + "/record", "root's");
  ASSERT_EQ(0, ::symlink(roots.c_str(), (own + "/swapped").c_str()));

  EXPECT_FALSE(replaceFileAtomically(own + "/record", "new", platform::FileOwner{0, 0}));
  EXPECT_EQ(readWholeFile(own + "/record"), "new");
  EXPECT_EQ(ownerOf(own + "/record"), std::make_pair(user.uid, user.gid));
  struct stat info {};
  ASSERT_EQ(0, ::stat((own + "/record").c_str(), &info));
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_TRUE(replaceFileAtomically(own + "/swapped/record", "through the link"));
  EXPECT_EQ(readWholeFile(roots + "/record"), "root's");
  EXPECT_FALSE(replaceFileAtomically(roots + "/new", "root's own"));
  EXPECT_EQ(ownerOf(roots + "/new"), std::make_pair(uid_t{0}, gid_t{0}));
  EXPECT_EQ(::geteuid(), 0u);
}

}  // namespace
