// The tree walks under every copy, removal and repair: walk depth, directory stream, removal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/FileHelpers.h"
#include "common/SoftLimit.h"
#include "common/TempDir.h"
#include "common/TreeHelpers.h"
#include "installer/files/DirectoryStream.h"
#include "installer/files/InstanceFiles.h"
#include "installer/files/TreeRemoval.h"
#include "installer/files/WalkDepth.h"

namespace {

using testing_support::entryExists;
using testing_support::folderEntries;
using testing_support::makeFolders;
using testing_support::openFolder;
using testing_support::SoftLimit;
using testing_support::writeFile;

// 64 descriptors stay with the caller; the rest bound the depth, between 8 and 512 levels.
TEST(WalkDepthTest, FollowsTheDescriptorLimitBetweenItsBounds) {
  const struct {
    rlim_t limit;
    std::size_t perLevel, depth;
  } rows[] = {{100, 1, 36}, {100, 2, 18}, {73, 1, 9}, {72, 1, 8}, {60, 1, 8}, {10, 2, 8},
              {575, 1, 511}, {576, 1, 512}, {577, 1, 512}, {1024, 2, 480}};
  for (const auto& row : rows) {
    SoftLimit descriptors(RLIMIT_NOFILE, row.limit);
    EXPECT_EQ(support::maxWalkDepth(row.perLevel), row.depth) << row.limit << " / " << row.perLevel;
  }
}

// Every entry once and "." and ".." never, across several fillings of the stream's buffer; then
// no entry for good. A read that failed stays failed.
TEST(DirectoryStreamTest, ListsEveryEntryOnceAndThenNothing) {
  testing_support::TempDir dir;
  std::vector<std::string> expected = {".a", "..a", "...", "a."};
  for (int i = 0; i < 400; ++i) expected.push_back(std::string(40, 'n') + std::to_string(i));
  for (const std::string& name : expected) writeFile(dir / name, "");
  std::sort(expected.begin(), expected.end());
  support::DirectoryStream stream(openFolder(dir.str()));
  std::vector<std::string> names;
  while (const dirent64* entry = stream.next()) names.push_back(entry->d_name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, expected);
  EXPECT_EQ(stream.next(), nullptr);
  EXPECT_FALSE(stream.failed());

  support::DirectoryStream unreadable(openFolder(dir.str(), O_PATH));
  EXPECT_TRUE(unreadable.valid());
  EXPECT_EQ(unreadable.next(), nullptr);
  EXPECT_TRUE(unreadable.failed());
  EXPECT_EQ(unreadable.next(), nullptr);
  support::DirectoryStream none{platform::UniqueFd()};
  EXPECT_FALSE(none.valid());
  EXPECT_EQ(none.next(), nullptr);
  EXPECT_TRUE(none.failed());
}

// A file, a link (not what it names) and a whole tree go; a missing entry is reported. With 84
// descriptors the walk goes 20 folders deep (one descriptor a level): a chain of 20 goes, one
// of 21 stays.
TEST(TreeRemovalTest, RemovesWholeTreesWithinTheWalkDepthAndNeverThroughALink) {
  testing_support::TempDir dir;
  makeFolders(dir / "t/tree/a/b");
  makeFolders(dir / "outside");
  for (const char* file : {"t/file", "t/tree/f", "t/tree/a/b/f", "outside/kept"}) writeFile(dir / file, "");
  ASSERT_EQ(::symlink((dir / "outside").c_str(), (dir / "t/link").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "outside").c_str(), (dir / "t/tree/a/link").c_str()), 0);
  std::string chain;
  for (int level = 1; level < 20; ++level) chain += "/d";
  makeFolders(dir / "t/twenty" + chain);
  makeFolders(dir / "t/twentyone" + chain + "/d");
  platform::UniqueFd folder = openFolder(dir / "t");
  for (const char* name : {"file", "link", "tree"}) EXPECT_TRUE(support::removeEntryOfFolder(folder.get(), name)) << name;
  EXPECT_FALSE(support::removeEntryOfFolder(folder.get(), "missing"));
  {
    SoftLimit descriptors(RLIMIT_NOFILE, 84);
    EXPECT_TRUE(support::removeEntryOfFolder(folder.get(), "twenty"));
    EXPECT_FALSE(support::removeEntryOfFolder(folder.get(), "twentyone"));
  }
  EXPECT_EQ(folderEntries(dir / "t"), std::vector<std::string>{"twentyone"});
  EXPECT_TRUE(entryExists(dir / "t/twentyone" + chain + "/d"));
  EXPECT_EQ(folderEntries(dir / "outside"), std::vector<std::string>{"kept"});
}

TEST(InstancePathTextTest, ComponentsAreJoinedAndSplitAtOneSlash) {
  using namespace support::InstanceFiles;
  EXPECT_EQ(appendPathComponent("", "a"), "a");
  EXPECT_EQ(appendPathComponent("/", "a"), "/a");
  EXPECT_EQ(appendPathComponent("/r/", "a"), "/r/a");
  EXPECT_EQ(appendPathComponent("/r", "a"), "/r/a");
  EXPECT_EQ(lastPathComponent("/a/b//"), "b");
  EXPECT_EQ(lastPathComponent("/"), "/");
  EXPECT_EQ(deletingLastPathComponent("/a/b/"), "/a");
  EXPECT_EQ(deletingLastPathComponent("/a"), "/");
  EXPECT_EQ(deletingLastPathComponent("a"), "");
}

}  // namespace
