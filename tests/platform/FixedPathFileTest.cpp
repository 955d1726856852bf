#include "platform/FixedPathFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "common/FileHelpers.h"
#include "common/TempDir.h"
#include "common/TestUser.h"

namespace {

using platform::FixedPathMode;
using platform::openFixedPathForWriting;
using testing_support::readWholeFile;
using testing_support::TempDir;
using testing_support::writeWholeFile;

void writeText(const platform::UniqueFd& fd, const std::string& text) {
  ASSERT_EQ(static_cast<ssize_t>(text.size()), ::write(fd.get(), text.data(), text.size()));
}

TEST(FixedPathFileTest, OpensOwnRegularFiles) {
  TempDir dir;
  const std::string log = dir / "install.log";
  {
    const mode_t saved = ::umask(0);
    auto created = openFixedPathForWriting(log, FixedPathMode::Truncate);
    ::umask(saved);
    ASSERT_TRUE(created.valid());
    struct stat info {};
    ASSERT_EQ(0, ::fstat(created.get(), &info));
    EXPECT_EQ(0644u, info.st_mode & 07777);
    EXPECT_EQ(0, ::fcntl(created.get(), F_GETFL) & O_NONBLOCK);
    EXPECT_EQ(FD_CLOEXEC, ::fcntl(created.get(), F_GETFD) & FD_CLOEXEC);
    writeText(created, "first run\n");
  }
  {
    auto appended = openFixedPathForWriting(log, FixedPathMode::Append);
    ASSERT_TRUE(appended.valid());
    writeText(appended, "second run\n");
  }
  EXPECT_EQ("first run\nsecond run\n", readWholeFile(log));
  {
    auto truncated = openFixedPathForWriting(log, FixedPathMode::Truncate);
    ASSERT_TRUE(truncated.valid());
    writeText(truncated, "third\n");
  }
  EXPECT_EQ("third\n", readWholeFile(log));
  EXPECT_TRUE(openFixedPathForWriting(log, FixedPathMode::Truncate).valid());
  EXPECT_EQ("", readWholeFile(log)) << "a run that writes nothing leaves an empty file";
}

// Whatever was planted at the path is refused in both modes, and nothing it points at changes.
TEST(FixedPathFileTest, RefusesPlantedFiles) {
  const struct {
    const char* name;
    std::function<void(const TempDir&, const std::string&)> plant;
  } cases[] = {
      {"link to a file",
       [](const TempDir& dir, const std::string& path) {
         ASSERT_EQ(0, ::symlink((dir / "victim").c_str(), path.c_str()));
       }},
      {"dangling link",
       [](const TempDir& dir, const std::string& path) {
         ASSERT_EQ(0, ::symlink((dir / "would-be-created").c_str(), path.c_str()));
       }},
      {"hard link",
       [](const TempDir& dir, const std::string& path) {
         ASSERT_EQ(0, ::link((dir / "victim").c_str(), path.c_str()));
       }},
      {"FIFO without reader",
       [](const TempDir&, const std::string& path) { ::mkfifo(path.c_str(), 0666); }},
      {"folder", [](const TempDir&, const std::string& path) { ::mkdir(path.c_str(), 0755); }},
  };
  for (const auto& c : cases) {
    for (FixedPathMode mode : {FixedPathMode::Truncate, FixedPathMode::Append}) {
      SCOPED_TRACE(testing::Message() << c.name << (mode == FixedPathMode::Append ? " append" : " truncate"));
      TempDir dir;
      writeWholeFile(dir / "victim", "must stay");
      const std::string path = dir / "install.log";
      c.plant(dir, path);

      EXPECT_FALSE(openFixedPathForWriting(path, mode).valid());
      EXPECT_EQ("must stay", readWholeFile(dir / "victim"));
      EXPECT_NE(0, ::access((dir / "would-be-created").c_str(), F_OK));
    }
  }
}

TEST(FixedPathFileTest, RefusesAFifoWithAReader) {
  TempDir dir;
  const std::string path = dir / "install.log";
  ASSERT_EQ(0, ::mkfifo(path.c_str(), 0666));
  platform::UniqueFd reader(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  ASSERT_TRUE(reader.valid());

  EXPECT_FALSE(openFixedPathForWriting(path, FixedPathMode::Truncate).valid());
}

// What a third user made at the path in a sticky folder anyone can write (as /tmp): root
// removes it, never following it, and makes a file of its own; the user's file is neither
// written nor truncated, and root's is not handed to them. Root's own reading refuses theirs.
TEST(FixedPathFileTest, AnotherUsersEntryIsReplacedNeverWritten) {
  RCP_WITH_TEST_USER(user);
  const std::string shared = user.scratch + "/tmp";
  ASSERT_EQ(0, ::mkdir(shared.c_str(), 01777));
  ASSERT_EQ(0, ::chmod(shared.c_str(), 01777));
  const std::string victim = user.scratch + "/root-only";
  writeWholeFile(victim, "root's");
  const struct {
    const char* name;
    std::function<void(const std::string&)> plant;  // runs as the user
  } plants[] = {
      {"0666 file", [](const std::string& path) {
         platform::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666));
         ::fchmod(fd.get(), 0666);
         writeText(fd, "the user's\n");
       }},
      {"link to root's file", [&](const std::string& path) { ASSERT_EQ(0, ::symlink(victim.c_str(), path.c_str())); }},
      {"FIFO", [](const std::string& path) { ::mkfifo(path.c_str(), 0666); }},
      {"folder", [](const std::string& path) {
         ::mkdir(path.c_str(), 0777);
         writeWholeFile(path + "/inside", "the user's\n");
       }},
  };
  int round = 0;
  for (const auto& plant : plants) {
    for (FixedPathMode mode : {FixedPathMode::Truncate, FixedPathMode::Append}) {
      SCOPED_TRACE(testing::Message() << plant.name << (mode == FixedPathMode::Append ? " append" : " truncate"));
      const std::string path = shared + "/rcp_" + std::to_string(round++) + "_install.log";
      ASSERT_EQ(0, ::seteuid(user.uid));
      plant.plant(path);
      platform::UniqueFd theirs(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW));
      ASSERT_EQ(0, ::seteuid(0));
      EXPECT_FALSE(platform::openFixedPathForReading(path).valid());

      auto ours = openFixedPathForWriting(path, mode);
      ASSERT_TRUE(ours.valid());
      writeText(ours, "root's log\n");
      struct stat info {};
      ASSERT_EQ(0, ::lstat(path.c_str(), &info));
      EXPECT_EQ(0u, info.st_uid);
      EXPECT_EQ(0644u, info.st_mode & 07777);
      EXPECT_EQ("root's log\n", readWholeFile(path));
      EXPECT_TRUE(platform::openFixedPathForReading(path).valid());
      EXPECT_EQ("root's", readWholeFile(victim));
      if (theirs.valid() && std::string(plant.name) == "0666 file") {
        EXPECT_EQ("the user's\n", readWholeFile("/proc/self/fd/" + std::to_string(theirs.get())));
      }
      if (std::string(plant.name) == "folder") {  // moved aside, with what it held
        EXPECT_EQ("the user's\n", readWholeFile("/proc/self/fd/" + std::to_string(theirs.get()) + "/inside"));
        EXPECT_EQ(shared, std::filesystem::path(std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(theirs.get()))).parent_path());
      }
    }
  }
}

}  // namespace
