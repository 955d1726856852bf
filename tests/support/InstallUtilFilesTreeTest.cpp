// The merging folder copy and the ownership repair, on real trees.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/FileAccessOverride.h"
#include "common/FileHelpers.h"
#include "common/ScopedEnvironment.h"
#include "common/SoftLimit.h"
#include "common/TempDir.h"
#include "common/TreeHelpers.h"
#include "common/TestUser.h"
#include "common/WithoutSyscalls.h"
#include "installer/support/InstallUtil.h"
#include "installer/files/InstanceFiles.h"
#include "platform/AttachedLogFile.h"

namespace {

using testing_support::readWholeFile;
using testing_support::ScopedEnvironment;
using testing_support::SoftLimit;

using support::InstallUtil::changeAttributesForDirectory;
using support::InstallUtil::copyFolderFromTo;
using testing_support::entryExists;
using testing_support::lstatOf;
using testing_support::makeFolders;
using testing_support::openFolder;
using testing_support::writeFile;
namespace fs = std::filesystem;

constexpr uid_t kStrangerUid = 4243;
constexpr gid_t kStrangerGid = 4243;
constexpr const char* kOwner = "daemon";

TEST(CopyFolderTest, CopiesANewTreeAsItIs) {
  testing_support::TempDir dir;
  makeFolders(dir / "s/sub/deeper");
  writeFile(dir / "s/top", "top");
  writeFile(dir / "s/sub/deeper/file", "deep");
  ::chmod((dir / "s/top").c_str(), 0751);
  fs::create_symlink("../top", dir / "s/sub/link");

  copyFolderFromTo(dir / "s", dir / "t");

  EXPECT_EQ(readWholeFile(dir / "t/top"), "top");
  EXPECT_EQ(readWholeFile(dir / "t/sub/deeper/file"), "deep");
  EXPECT_EQ(lstatOf(dir / "t/top").st_mode & 07777, 0751u);
  EXPECT_EQ(fs::read_symlink(dir / "t/sub/link"), "../top");  // a link is copied as a link
}

TEST(CopyFolderTest, MergeReplacesFilesAndKeepsWhatTheSourceLacks) {
  testing_support::TempDir dir;
  makeFolders(dir / "s/sub");
  makeFolders(dir / "s/folderInSource");
  writeFile(dir / "s/sameName", "new");
  writeFile(dir / "s/fileReplacesFolder", "file");
  writeFile(dir / "s/sub/added", "added");
  writeFile(dir / "s/folderInSource/inside", "x");
  makeFolders(dir / "t/sub");
  makeFolders(dir / "t/fileReplacesFolder/nested");
  writeFile(dir / "t/sameName", "old and longer");
  writeFile(dir / "t/sub/kept", "kept");
  writeFile(dir / "t/onlyInTarget", "kept");
  writeFile(dir / "t/folderInSource", "a file where the source has a folder");
  fs::create_symlink("sub", dir / "s/linkReplacesFolder");
  makeFolders(dir / "t/linkReplacesFolder");

  // Neither a folder for a file or a link nor a file for a folder: refused, and said.
  EXPECT_FALSE(copyFolderFromTo(dir / "s", dir / "t"));

  EXPECT_EQ(readWholeFile(dir / "t/sameName"), "new");
  EXPECT_TRUE(fs::is_directory(dir / "t/fileReplacesFolder/nested"));
  EXPECT_TRUE(fs::is_directory(fs::symlink_status(dir / "t/linkReplacesFolder")));
  EXPECT_EQ(readWholeFile(dir / "t/sub/added"), "added");
  EXPECT_EQ(readWholeFile(dir / "t/sub/kept"), "kept");
  EXPECT_EQ(readWholeFile(dir / "t/onlyInTarget"), "kept");
  EXPECT_EQ(readWholeFile(dir / "t/folderInSource"), "a file where the source has a folder");
}

TEST(CopyFolderTest, LinkLoopsAndATargetInsideTheSourceEnd) {
  testing_support::TempDir dir;
  makeFolders(dir / "s/sub");
  writeFile(dir / "s/sub/file", "f");
  fs::create_symlink("..", dir / "s/sub/up");    // leads back to s
  fs::create_symlink(".", dir / "s/sub/self");   // leads to itself
  makeFolders(dir / "t/sub");

  copyFolderFromTo(dir / "s", dir / "t");
  EXPECT_EQ(readWholeFile(dir / "t/sub/file"), "f");
  EXPECT_FALSE(entryExists(dir / "t/sub/up"));
  EXPECT_FALSE(entryExists(dir / "t/sub/self"));

  copyFolderFromTo(dir / "s", dir / "s/inner");  // the copy must not copy itself again
  EXPECT_EQ(readWholeFile(dir / "s/inner/sub/file"), "f");
  EXPECT_FALSE(entryExists(dir / "s/inner/inner"));
}

// A copy killed or failing halfway never leaves a partial file under its final name; the
// temporaries killed runs left are removed by the next run that writes into the folder, and
// nothing else is.
TEST(CopyFolderTest, FilesAppearWholeOrNotAtAllAndLeftoverTemporariesGo) {
  testing_support::TempDir dir;
  makeFolders(dir / "s");
  writeFile(dir / "s/big", std::string(256 * 1024, 'b'));
  writeFile(dir / "s/small", "s");
  const std::string hex = "0123456789abcdef01234567";
  writeFile(dir / "t/big", "the old big file");
  makeFolders(dir / ("t/.folder.copy-rcp-" + hex));
  writeFile(dir / ("t/.big.copy-rcp-" + hex), "left by a killed run");
  writeFile(dir / "t/.big.copy-rcp-0123456789ABCDEF01234567", "not of that pattern");
  writeFile(dir / ("t/.copy-rcp-" + hex), "not of that pattern");
  writeFile(dir / "t/.notes.copy-202412081530", "the owner's own file");
  writeFile(dir / ("t/.held.copy-rcp-" + hex), "a live run's");
  platform::UniqueFd held(::open((dir / ("t/.held.copy-rcp-" + hex)).c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_EQ(::flock(held.get(), LOCK_EX), 0);
  fs::create_symlink(dir / "s/small", dir / ("t/.link.copy-rcp-" + hex));
  makeFolders(dir / "u");
  writeFile(dir / ("u/.uninstall.a.b.xml.copy-rcp-" + hex), "left by a killed run");

  // Writes beyond 64 KiB fail: the big file's copy breaks off midway, and is said.
  {
    SoftLimit fileSize(RLIMIT_FSIZE, 64 * 1024);
    EXPECT_FALSE(copyFolderFromTo(dir / "s", dir / "t"));
    EXPECT_FALSE(copyFolderFromTo(dir / "s", dir / "new"));
  }

  EXPECT_EQ(readWholeFile(dir / "t/big"), "the old big file") << "a failed copy keeps the old file";
  EXPECT_FALSE(entryExists(dir / "new/big"));
  for (const char* folder : {"t", "new"}) {
    SCOPED_TRACE(folder);
    EXPECT_EQ(readWholeFile(dir / (std::string(folder) + "/small")), "s");
  }
  EXPECT_EQ(testing_support::folderEntries(dir / "t"),
            (std::vector<std::string>{".big.copy-rcp-0123456789ABCDEF01234567", ".copy-rcp-" + hex,
                                      ".folder.copy-rcp-" + hex, ".held.copy-rcp-" + hex,
                                      ".notes.copy-202412081530", "big", "small"}));
  EXPECT_EQ(readWholeFile(dir / "s/small"), "s") << "a link is removed, never followed";
  std::size_t inNew = 0;
  for (const auto& entry : fs::directory_iterator(dir / "new")) inNew += entry.path().filename() == "small" ? 1 : 100;
  EXPECT_EQ(inNew, 1u) << "no temporary stays behind";

  EXPECT_FALSE(support::InstanceFiles::copyItemNoOverwrite(dir / "s/small", dir / "u/uninstall.a.b.xml"));
  EXPECT_FALSE(entryExists(dir / ("u/.uninstall.a.b.xml.copy-rcp-" + hex)));
  EXPECT_EQ(readWholeFile(dir / "u/uninstall.a.b.xml"), "s");
}

// A copied folder keeps its links as links, whatever the length of what they name.
TEST(CopyFolderTest, AnItemCopyKeepsLinksAsLinks) {
  testing_support::TempDir dir;
  makeFolders(dir / "s/sub");
  const std::string longTarget = "../" + std::string(200, 'l') + "/" + std::string(200, 'm');
  fs::create_symlink("short", dir / "s/a");
  fs::create_symlink(longTarget, dir / "s/sub/b");
  writeFile(dir / "s/sub/f", "x");
  ASSERT_FALSE(support::InstanceFiles::copyItemNoOverwrite(dir / "s", dir / "t"));
  EXPECT_EQ(fs::read_symlink(dir / "t/a"), "short");
  EXPECT_EQ(fs::read_symlink(dir / "t/sub/b"), longTarget);
  EXPECT_EQ(readWholeFile(dir / "t/sub/f"), "x");
  EXPECT_EQ(support::InstanceFiles::copyItemNoOverwrite(dir / "s/a", dir / "t/sub/f"),
            std::make_error_code(std::errc::file_exists)) << "a link is never copied over a name";
  EXPECT_EQ(readWholeFile(dir / "t/sub/f"), "x");
  EXPECT_TRUE(support::InstanceFiles::isDirectory(dir / "t/sub"));
  EXPECT_FALSE(support::InstanceFiles::isDirectory(dir / "t/sub/f"));
}

// A kernel without renameat2 (or a file system without its no-replace flag): the copy takes its
// name through a second link, which fails just the same when the name exists.
TEST(CopyFolderTest, WithoutRenameat2ACopyStillNeverReplaces) {
  testing_support::TempDir dir;
  writeFile(dir / "s", "new");
  makeFolders(dir / "t");
  writeFile(dir / "t/kept", "old");
  const std::string target = dir / "t";
  auto check = [&] {
    if (support::InstanceFiles::copyItemNoOverwrite(dir / "s", target + "/fresh")) return 1;
    if (readWholeFile(target + "/fresh") != "new") return 2;
    if (support::InstanceFiles::copyItemNoOverwrite(dir / "s", target + "/kept") !=
        std::make_error_code(std::errc::file_exists)) {
      return 3;
    }
    if (readWholeFile(target + "/kept") != "old") return 4;
    return testing_support::folderEntries(target) == std::vector<std::string>{"fresh", "kept"} ? 0 : 5;  // no temporary stays
  };
  EXPECT_EQ(testing_support::runWithoutSyscalls({SYS_renameat2}, check), 0) << "the step that failed";
}

// A merge follows a link to a folder only inside the copied tree; a file of several links is
// never copied (another of its names may be anywhere).
TEST(CopyFolderTest, NothingIsTakenFromOutsideTheCopiedTree) {
  testing_support::TempDir dir;
  makeFolders(dir / "s/inner");
  makeFolders(dir / "outside");
  writeFile(dir / "s/inner/file", "in");
  writeFile(dir / "outside/secret", "out");
  fs::create_directory_symlink(dir / "outside", dir / "s/away");
  fs::create_directory_symlink("inner", dir / "s/alias");
  fs::create_hard_link(dir / "outside/secret", dir / "s/hard");
  makeFolders(dir / "t");
  writeFile(dir / "t/hard", "target's own");

  copyFolderFromTo(dir / "s", dir / "t");
  copyFolderFromTo(dir / "s", dir / "new");

  EXPECT_TRUE(fs::is_symlink(dir / "t/away")) << "copied as a link, not followed";
  EXPECT_EQ(readWholeFile(dir / "t/alias/file"), "in");
  EXPECT_FALSE(fs::is_symlink(dir / "t/alias"));
  EXPECT_EQ(readWholeFile(dir / "t/hard"), "target's own") << "what is not taken is not removed";
  EXPECT_FALSE(entryExists(dir / "new/hard"));
  EXPECT_EQ(readWholeFile(dir / "new/inner/file"), "in");
}

// Onto another file system the contents are read and written (the kernel copies only within
// one); a copy that does not fit leaves nothing of the file.
TEST(CopyFolderTest, OntoAnotherFileSystemFilesAreReadAndWrittenWhole) {
  testing_support::TempDir dir;
  const std::string big(300 * 1024, 'x');
  makeFolders(dir / "s/sub");
  writeFile(dir / "s/sub/big", big);
  makeFolders(dir / "t");
  makeFolders(dir / "small");
  ASSERT_EQ(0, ::unshare(CLONE_NEWNS));
  ASSERT_EQ(0, ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr));
  ASSERT_EQ(0, ::mount("tmpfs", (dir / "t").c_str(), "tmpfs", 0, "size=1m"));
  ASSERT_EQ(0, ::mount("tmpfs", (dir / "small").c_str(), "tmpfs", 0, "size=64k"));

  copyFolderFromTo(dir / "s", dir / "t");
  copyFolderFromTo(dir / "s", dir / "small");

  EXPECT_EQ(readWholeFile(dir / "t/sub/big"), big);
  const std::vector<std::string> left = testing_support::folderEntries(dir / "small/sub");
  EXPECT_TRUE(left.empty()) << left.front();
}

TEST(CopyFolderTest, NeverWritesThroughALinkInTheTarget) {
  testing_support::TempDir dir;
  makeFolders(dir / "s/sub");
  writeFile(dir / "s/sub/payload", "p");
  writeFile(dir / "s/victimFile", "p");
  makeFolders(dir / "outside");
  writeFile(dir / "outside/victim", "untouched");
  makeFolders(dir / "t");
  fs::create_symlink(dir / "outside", dir / "t/sub");
  fs::create_symlink(dir / "outside/victim", dir / "t/victimFile");

  copyFolderFromTo(dir / "s", dir / "t");
  copyFolderFromTo(dir / "s", dir / "linkToOutside");
  fs::create_symlink(dir / "outside", dir / "linkToOutside2");
  copyFolderFromTo(dir / "s", dir / "linkToOutside2");

  EXPECT_FALSE(entryExists(dir / "outside/payload"));
  EXPECT_EQ(readWholeFile(dir / "outside/victim"), "untouched");
  EXPECT_EQ(readWholeFile(dir / "t/victimFile"), "p");  // the link was replaced, not written through
  EXPECT_TRUE(fs::is_symlink(dir / "t/sub"));
}

// Sets the immutable flag of a file for one test (where the file system has it) and clears it.
class ImmutableFlag {
 public:
  explicit ImmutableFlag(const std::string& path)
      : fd_(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC)) {}
  bool set() { return change(FS_IMMUTABLE_FL, 0) && (set_ = true); }
  ~ImmutableFlag() {
    if (set_) change(0, FS_IMMUTABLE_FL);
    if (fd_ >= 0) ::close(fd_);
  }

 private:
  bool change(int add, int remove) {
    int flags = 0;
    if (fd_ < 0 || ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) != 0) return false;
    flags = (flags | add) & ~remove;
    return ::ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0;
  }
  int fd_;
  bool set_ = false;
};

class ChangeAttributesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "changes owners: needs root";
    group* admin = ::getgrnam("admin");
    passwd* owner = ::getpwnam(kOwner);
    if (admin == nullptr || owner == nullptr) GTEST_SKIP() << "needs the group admin and the user daemon";
    adminGid_ = admin->gr_gid;
    ownerUid_ = owner->pw_uid;
  }

  void expectStandard(const std::string& path, bool isLink = false) {
    SCOPED_TRACE(path);
    struct stat status = lstatOf(path);
    EXPECT_EQ(status.st_uid, ownerUid_);
    EXPECT_EQ(status.st_gid, adminGid_);
    if (!isLink) {
      EXPECT_EQ(status.st_mode & 07777, 0775u);
    }
  }

  void expectStranger(const std::string& path, mode_t mode) {
    SCOPED_TRACE(path);
    struct stat status = lstatOf(path);
    EXPECT_EQ(status.st_uid, kStrangerUid);
    EXPECT_EQ(status.st_gid, kStrangerGid);
    EXPECT_EQ(status.st_mode & 07777, mode);
  }

  void makeStranger(const std::string& path, mode_t mode) {
    ASSERT_EQ(::lchown(path.c_str(), kStrangerUid, kStrangerGid), 0) << path;
    ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
  }

  gid_t adminGid_ = 0;
  uid_t ownerUid_ = 0;
};

TEST_F(ChangeAttributesTest, ChangesEveryEntryBelowAndNothingOutside) {
  testing_support::TempDir dir;
  ScopedEnvironment user("USER", kOwner);
  std::string root = dir / "tree";
  makeFolders(root + "/a/b");
  makeFolders(dir / "outside");
  writeFile(root + "/file", "x");
  writeFile(root + "/a/b/deep", "x");
  writeFile(dir / "outside/secret", "x");
  fs::create_symlink(dir / "outside/secret", root + "/a/toFile");
  fs::create_symlink(dir / "outside", root + "/a/toFolder");
  for (const char* entry : {"/file", "/a", "/a/b", "/a/b/deep"}) makeStranger(root + entry, 0600);
  makeStranger(root, 0700);
  makeStranger(dir / "outside", 0700);
  makeStranger(dir / "outside/secret", 0600);
  // Entries that lack only some of the attributes keep the ones they have.
  writeFile(root + "/a/modeOnly", "x");
  ASSERT_EQ(::chown((root + "/a/modeOnly").c_str(), ownerUid_, adminGid_), 0);
  ASSERT_EQ(::chmod((root + "/a/modeOnly").c_str(), 0600), 0);
  writeFile(root + "/a/ownerOnly", "x");
  ASSERT_EQ(::chown((root + "/a/ownerOnly").c_str(), kStrangerUid, adminGid_), 0);
  ASSERT_EQ(::chmod((root + "/a/ownerOnly").c_str(), 0775), 0);
  writeFile(root + "/a/groupOnly", "x");
  ASSERT_EQ(::chown((root + "/a/groupOnly").c_str(), ownerUid_, kStrangerGid), 0);
  ASSERT_EQ(::chmod((root + "/a/groupOnly").c_str(), 0775), 0);

  EXPECT_TRUE(changeAttributesForDirectory(root));

  for (const char* entry : {"/file", "/a", "/a/b", "/a/b/deep", "/a/modeOnly", "/a/ownerOnly", "/a/groupOnly"}) {
    expectStandard(root + entry);
  }
  expectStandard(root + "/a/toFile", true);
  expectStandard(root + "/a/toFolder", true);
  expectStranger(root, 0700);  // the folder itself stays as it was
  expectStranger(dir / "outside", 0700);
  expectStranger(dir / "outside/secret", 0600);

  // A second repair finds everything right and changes nothing: an immutable file, which no
  // change of owner or mode could touch, does not make it fail.
  ImmutableFlag frozen(root + "/a/b/deep");
  if (!frozen.set()) GTEST_SKIP() << "the file system has no immutable flag";
  EXPECT_TRUE(changeAttributesForDirectory(root));

  // A mode that cannot be given fails it, though owner and group are right, and is said.
  ASSERT_EQ(::chmod((root + "/a/modeOnly").c_str(), 0600), 0);
  ImmutableFlag modeFrozen(root + "/a/modeOnly");
  ASSERT_TRUE(modeFrozen.set());
  const std::string logPath = dir / "repair.log";
  {
    platform::AttachedLogFile log(logPath);
    EXPECT_FALSE(changeAttributesForDirectory(root));
  }
  EXPECT_NE(readWholeFile(logPath).find("Not changing the owner or mode of " + root +
                                        "/a/modeOnly: Operation not permitted\n"),
            std::string::npos);
}

TEST_F(ChangeAttributesTest, AFileOfSeveralHardLinksIsLeftAlone) {
  testing_support::TempDir dir;
  ScopedEnvironment user("USER", kOwner);
  makeFolders(dir / "tree/sub");
  writeFile(dir / "victim", "root's");
  makeStranger(dir / "victim", 0600);
  ASSERT_EQ(0, ::link((dir / "victim").c_str(), (dir / "tree/sub/linked").c_str()));
  ASSERT_EQ(0, ::link((dir / "victim").c_str(), (dir / "tree/linked").c_str()));
  writeFile(dir / "tree/sub/plain", "x");

  EXPECT_FALSE(changeAttributesForDirectory(dir / "tree")) << "the linked file stays undone";
  expectStranger(dir / "victim", 0600);
  expectStandard(dir / "tree/sub");
  expectStandard(dir / "tree/sub/plain");

  // One that already has the attributes needs nothing: no failure for it.
  makeFolders(dir / "right");
  writeFile(dir / "right/file", "x");
  ASSERT_EQ(::chown((dir / "right/file").c_str(), ownerUid_, adminGid_), 0);
  ASSERT_EQ(::chmod((dir / "right/file").c_str(), 0775), 0);
  ASSERT_EQ(::link((dir / "right/file").c_str(), (dir / "rightLinked").c_str()), 0);
  EXPECT_TRUE(changeAttributesForDirectory(dir / "right"));
}

TEST_F(ChangeAttributesTest, ResultsForMissingEmptyLinkedAndUnknownOwner) {
  testing_support::TempDir dir;
  ScopedEnvironment user("USER", kOwner);
  makeFolders(dir / "empty");
  makeFolders(dir / "real");
  writeFile(dir / "real/file", "x");
  makeStranger(dir / "real/file", 0600);
  fs::create_symlink(dir / "real", dir / "linkToReal");

  EXPECT_FALSE(changeAttributesForDirectory(dir / "missing"));
  EXPECT_FALSE(changeAttributesForDirectory(""));
  EXPECT_TRUE(changeAttributesForDirectory(dir / "empty"));
  EXPECT_FALSE(changeAttributesForDirectory(dir / "linkToReal"));  // the link is not walked
  expectStranger(dir / "real/file", 0600);

  ScopedEnvironment unknown("USER", "no-such-user-here");
  EXPECT_FALSE(changeAttributesForDirectory(dir / "real"));
  struct stat status = lstatOf(dir / "real/file");
  EXPECT_EQ(status.st_uid, kStrangerUid);  // no owner to give; group and mode still repaired
  EXPECT_EQ(status.st_gid, adminGid_);
  EXPECT_EQ(status.st_mode & 07777, 0775u);

  // A folder that cannot be opened (root without its right to read any file) stays undone.
  ScopedEnvironment known("USER", kOwner);
  makeFolders(dir / "closed/inner");
  writeFile(dir / "closed/inner/file", "x");
  makeStranger(dir / "closed/inner", 0);
  testing_support::dropFileAccessOverride();
  EXPECT_FALSE(changeAttributesForDirectory(dir / "closed"));
  expectStranger(dir / "closed/inner", 0);
  ::chmod((dir / "closed/inner").c_str(), 0700);  // root owns nothing in it: opened for removal
  ASSERT_EQ(0, ::chown((dir / "closed/inner").c_str(), 0, 0));
}

// Without a group of that name the group is left as it is and the repair reports the failure;
// owner and mode are still given.
TEST_F(ChangeAttributesTest, WithoutTheStandardGroupEntriesKeepTheirGroup) {
  RCP_WITH_TEST_USER(user);
  const std::string groups = user.scratch + "/group-without-admin";
  {
    std::ifstream in("/etc/group");
    std::ofstream out(groups);
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("admin:", 0) != 0) out << line << '\n';
    }
  }
  ASSERT_EQ(::mount(groups.c_str(), "/etc/group", nullptr, MS_BIND, nullptr), 0);
  ASSERT_EQ(::getgrnam("admin"), nullptr);
  ScopedEnvironment owner("USER", kOwner);
  const std::string tree = user.scratch + "/tree";
  makeFolders(tree);
  writeFile(tree + "/file", "x");
  makeStranger(tree + "/file", 0600);

  EXPECT_FALSE(changeAttributesForDirectory(tree));
  struct stat status = lstatOf(tree + "/file");
  EXPECT_EQ(status.st_uid, ownerUid_);
  EXPECT_EQ(status.st_gid, kStrangerGid);
  EXPECT_EQ(status.st_mode & 07777, 0775u);
}

// With few descriptors allowed, a deep tree is walked as deep as they last: the part below
// is reported as not done (the repair gives false, the copy stops) and nothing fails harder.
TEST_F(ChangeAttributesTest, DeepTreeStopsAtTheDescriptorBudget) {
  testing_support::TempDir dir;
  ScopedEnvironment user("USER", kOwner);
  std::string deepest = dir / "tree";
  for (int level = 0; level < 80; ++level) deepest += "/d";
  makeFolders(deepest);
  writeFile(deepest + "/file", "x");
  bool repaired = false;
  {
    SoftLimit descriptors(RLIMIT_NOFILE, 100);
    repaired = changeAttributesForDirectory(dir / "tree");
    copyFolderFromTo(dir / "tree", dir / "copy");
  }
  EXPECT_FALSE(repaired);
  expectStandard(dir / "tree/d/d/d");
  EXPECT_NE(lstatOf(deepest + "/file").st_uid, ownerUid_);
  EXPECT_TRUE(entryExists(dir / "copy/d/d/d"));
  EXPECT_FALSE(entryExists(dir.str() + "/copy" + deepest.substr((dir / "tree").size())));
}

}  // namespace
