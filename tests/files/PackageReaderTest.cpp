// Reading out of a package as its maker.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/types.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/FileHelpers.h"
#include "common/TreeHelpers.h"
#include "common/TestUser.h"
#include "installer/files/PackageReader.h"

namespace {

using testing_support::lstatOf;
using testing_support::makeFolders;
using testing_support::writeFile;

constexpr uid_t kStrangerUid = 4243;
constexpr gid_t kStrangerGid = 4243;

std::vector<gid_t> groupsNow() {
  std::vector<gid_t> groups(static_cast<std::size_t>(::getgroups(0, nullptr)));
  groups.resize(static_cast<std::size_t>(::getgroups(static_cast<int>(groups.size()), groups.data())));
  return groups;
}

// Opens out of a user's package as that user: what the user could not read, or what belongs to
// a third user, is refused, and after every open the process is root again with root's groups.
TEST(PackageReaderTest, OpensAsThePackagesOwnerAndIsRootAgainAfterwards) {
  RCP_WITH_TEST_USER(user);
  using support::PackageReader;
  const std::string package = user.scratch + "/Addon.pkg";
  struct Entry {
    std::string name;
    uid_t uid;
    gid_t gid;
    mode_t mode;
    bool taken;
  };
  const std::vector<Entry> entries = {
      {"own", user.uid, user.gid, 0600, true},
      {"roots-readable", 0, 0, 0644, true},
      {"roots-for-the-users-group", 0, user.gid, 0640, true},
      {"roots-for-its-last-group", 0, testing_support::TestUser::kFirstExtraGid + testing_support::TestUser::kExtraGroups - 1, 0640, true},
      {"roots-for-its-group", 0, 0, 0640, false},
      {"strangers-readable", kStrangerUid, kStrangerGid, 0644, false},
      {"hard-linked", user.uid, user.gid, 0644, false},
  };
  makeFolders(package + "/folder");
  for (const Entry& e : entries) {
    writeFile(package + "/" + e.name, "x");
    ASSERT_EQ(::chown((package + "/" + e.name).c_str(), e.uid, e.gid), 0);
    ASSERT_EQ(::chmod((package + "/" + e.name).c_str(), e.mode), 0);
  }
  std::filesystem::create_hard_link(package + "/hard-linked", user.scratch + "/second-link");
  ASSERT_EQ(::mkfifo((package + "/fifo").c_str(), 0644), 0);
  for (const char* name : {"", "/folder", "/fifo"}) ASSERT_EQ(::chown((package + name).c_str(), user.uid, user.gid), 0);

  const std::vector<gid_t> rootsGroups = groupsNow();
  const PackageReader reader = PackageReader::ofPackage(package);
  EXPECT_EQ(reader.uid(), user.uid);
  auto opens = [&](const std::string& name, PackageReader::Kind kind) {
    const bool opened = reader.openSource(package + "/" + name, kind).valid();
    EXPECT_EQ(::geteuid(), 0u) << name;
    EXPECT_EQ(::getegid(), 0u) << name;
    EXPECT_EQ(groupsNow(), rootsGroups) << name;
    return opened;
  };
  for (const Entry& e : entries) EXPECT_EQ(opens(e.name, PackageReader::Kind::kFile), e.taken) << e.name;
  EXPECT_FALSE(opens("fifo", PackageReader::Kind::kFile));
  EXPECT_FALSE(opens("folder", PackageReader::Kind::kFile));
  EXPECT_FALSE(opens("own", PackageReader::Kind::kFolder));
  EXPECT_TRUE(opens("folder", PackageReader::Kind::kFolder));

  // Root's own package: root may read what has no read bit at all. No package: nobody reads.
  struct stat noBits = lstatOf(package + "/own");
  noBits.st_uid = 0;
  noBits.st_mode = S_IFREG;
  EXPECT_TRUE(PackageReader::ofPackage(user.scratch).mayRead(noBits));
  EXPECT_EQ(PackageReader::ofPackage(std::nullopt).uid(), 65534u);
  EXPECT_FALSE(PackageReader::ofPackage(std::nullopt).openSource(package + "/own", PackageReader::Kind::kFile).valid());
}

}  // namespace
