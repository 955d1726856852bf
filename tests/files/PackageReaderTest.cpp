// Reading out of a package as its maker.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/types.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/FileHelpers.h"
#include "common/TreeHelpers.h"
#include "common/TestUser.h"
#include "installer/files/PackageReader.h"

namespace {

using support::PackageReader;
using testing_support::lstatOf;
using testing_support::makeFolders;
using testing_support::TestUser;
using testing_support::writeFile;

constexpr uid_t kStrangerUid = 4243;
constexpr gid_t kStrangerGid = 4243;

std::vector<gid_t> groupsNow() {
  std::vector<gid_t> groups(static_cast<std::size_t>(::getgroups(0, nullptr)));
  groups.resize(static_cast<std::size_t>(::getgroups(static_cast<int>(groups.size()), groups.data())));
  return groups;
}

void setAcl(const std::string& entry, const std::string& path) {
  ASSERT_EQ(std::system(("setfacl -m " + entry + " '" + path + "'").c_str()), 0) << "needs setfacl";
}

// Opens out of a user's package as that user: what the user could not read (after modes,
// ACLs and search rights), or what belongs to a third user, is refused, and after every open
// the process is root again with root's groups.
TEST(PackageReaderTest, OpensAsThePackagesOwnerAndIsRootAgainAfterwards) {
  RCP_WITH_TEST_USER(user);
  const std::string package = user.scratch + "/Addon.pkg";
  struct Entry {
    std::string name;
    uid_t uid;
    gid_t gid;
    mode_t mode;
    bool taken;
    std::string acl = "";
  };
  const std::string denied = "u:" + user.name + ":---";
  const std::vector<Entry> entries = {
      {"own", user.uid, user.gid, 0600, true},
      {"roots-readable", 0, 0, 0644, true},
      {"roots-for-the-users-group", 0, user.gid, 0640, true},
      {"roots-for-its-last-group", 0, TestUser::kFirstExtraGid + TestUser::kExtraGroups - 1, 0640, true},
      // Root's group is none of the user's: a group list padded with 0 would take it.
      {"roots-for-its-group", 0, 0, 0640, false},
      {"strangers-readable", kStrangerUid, kStrangerGid, 0644, false},
      {"hard-linked", user.uid, user.gid, 0644, false},
      {"roots-readable-but-acl-denies-the-user", 0, 0, 0644, false, denied},
      {".keystore-acl-denies-the-user", 0, 0, 0644, false, denied},
      {"roots-private-but-acl-grants-the-user", 0, 0, 0600, true, "u:" + user.name + ":r"},
      {"closed/readable-inside-a-folder-the-user-may-not-search", 0, 0, 0644, false},
  };
  makeFolders(package + "/folder");
  makeFolders(package + "/closed");
  ASSERT_EQ(::chmod((package + "/closed").c_str(), 0700), 0);
  for (const Entry& e : entries) {
    const std::string path = package + "/" + e.name;
    writeFile(path, "x");
    ASSERT_EQ(::chown(path.c_str(), e.uid, e.gid), 0);
    ASSERT_EQ(::chmod(path.c_str(), e.mode), 0);
    if (!e.acl.empty()) setAcl(e.acl, path);
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

  // Root's own package: root may read what has no read bit at all. No package: no one reads.
  struct stat noBits = lstatOf(package + "/own");
  noBits.st_uid = 0;
  noBits.st_mode = S_IFREG;
  EXPECT_TRUE(PackageReader::ofPackage(user.scratch).mayRead(noBits));
  EXPECT_FALSE(PackageReader::ofPackage(std::nullopt).uid());
  EXPECT_FALSE(PackageReader::ofPackage(std::nullopt).openSource(package + "/roots-readable", PackageReader::Kind::kFile).valid());
}

// The maker is the owner of the folder at the path as given, found through one descriptor that
// follows no link: a trailing "/" or "/." does not make it follow one, and what is no folder of
// one owner is no one's package.
TEST(PackageReaderTest, PinsThePackageFolderWithoutFollowingALink) {
  RCP_WITH_TEST_USER(user);
  const std::string s = user.scratch;
  struct Folder {
    std::string name;
    uid_t uid;
    mode_t mode;
  };
  for (const Folder& f : std::vector<Folder>{{"users", user.uid, 0755},
                                             {"users-group-writable", user.uid, 0775},
                                             {"roots", 0, 0755},
                                             {"roots-for-everyone", 0, 01777}}) {
    makeFolders(s + "/" + f.name);
    ASSERT_EQ(::chown((s + "/" + f.name).c_str(), f.uid, f.uid), 0);
    ASSERT_EQ(::chmod((s + "/" + f.name).c_str(), f.mode), 0);
  }
  std::filesystem::create_directory_symlink(s + "/roots", s + "/link-to-roots");
  ASSERT_EQ(::lchown((s + "/link-to-roots").c_str(), user.uid, user.gid), 0);
  writeFile(s + "/roots-file", "x");
  std::filesystem::create_hard_link(s + "/roots-file", s + "/users/hard-link-to-roots-file");

  const std::optional<uid_t> none;
  const std::vector<std::pair<std::string, std::optional<uid_t>>> cases = {
      {"users", user.uid},        {"users/", user.uid},          {"users/.", user.uid},
      {"users/./", user.uid},     {"users//.//", user.uid},      {"roots", 0u},
      {"link-to-roots", none},    {"link-to-roots/", none},      {"link-to-roots/.", none},
      {"link-to-roots/./", none}, {"users-group-writable", none}, {"roots-for-everyone", none},
      {"missing", none},          {"users/hard-link-to-roots-file", none}, {"roots-file/", none},
  };
  for (const auto& [name, maker] : cases) {
    EXPECT_EQ(PackageReader::ofPackage(s + "/" + name).uid(), maker) << name;
  }
}

// Every group the user is in, and no other: the lists are longer than a first small buffer.
TEST(PackageReaderTest, TheMakersGroupsAreListedWhole) {
  RCP_WITH_TEST_USER(user);
  auto sorted = [](std::vector<gid_t> groups) {
    std::sort(groups.begin(), groups.end());
    return groups;
  };
  std::vector<gid_t> expected = {user.gid};
  for (int n = 0; n < TestUser::kExtraGroups; ++n) expected.push_back(TestUser::kFirstExtraGid + n);
  EXPECT_EQ(sorted(platform::groupsOfUser(user.name, user.gid)), sorted(expected));
  EXPECT_EQ(sorted(platform::credentialsOfUser(user.uid).groups), sorted(expected));
  EXPECT_EQ(sorted(platform::credentialsOfUser(TestUser::kMakerUid).groups),
            (std::vector<gid_t>{TestUser::kMakerUid, TestUser::kFirstExtraGid}));
  EXPECT_EQ(platform::credentialsOfUser(kStrangerUid).groups, (std::vector<gid_t>{platform::kNoGroup}));
}

}  // namespace
