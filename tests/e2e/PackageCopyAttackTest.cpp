// Copies out of an add-on package whose folder the test user owns: every way of making root
// copy a file of root's that only root may read into the instance (a link, a hard link, a
// configuration value naming it) must leave that file as it was and its content nowhere in
// the instance, which the user owns after the repair. postflightAddon runs as root for the
// test user with the simulated launcher in a private mount namespace.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "common/AddonPackageBuilder.h"
#include "common/EndToEndTest.h"
#include "common/InstanceBuilder.h"
#include "common/OpenPause.h"
#include "common/PrivateNamespace.h"
#include "common/RootVictim.h"
#include "common/TempDir.h"
#include "common/TestUser.h"

namespace {

namespace fs = std::filesystem;
using testing_support::AddonPackageBuilder;
using testing_support::BuiltInstance;
using testing_support::InstanceBuilder;
using testing_support::NamespaceRun;
using testing_support::PrivateNamespace;
using testing_support::RootVictim;
using testing_support::onceAsUser;
using testing_support::writeFile;

constexpr const char* kLog = "/tmp/rcp_a.b_install.log";

// Gives the package to the user; a planted hard link stays root's (it is the victim).
void chownTree(const fs::path& top, uid_t uid, gid_t gid) {
  ASSERT_EQ(::lchown(top.c_str(), uid, gid), 0) << top;
  for (const auto& entry : fs::recursive_directory_iterator(top)) {
    struct stat status {};
    ASSERT_EQ(::lstat(entry.path().c_str(), &status), 0);
    if (!S_ISDIR(status.st_mode) && status.st_nlink > 1) continue;
    ASSERT_EQ(::lchown(entry.path().c_str(), uid, gid), 0) << entry.path();
  }
}

// The package (owned by the user) and its deploy folder, the instance, and a folder of root's
// (mode 0700) holding the victim, named like a key store so that key store copies meet it too.
struct Setting {
  fs::path media;  // holds Addon.pkg and deploy
  fs::path package;
  fs::path deploy;
  fs::path secretFolder;
  BuiltInstance target;
};

class PackageCopyAttackTest : public testing_support::EndToEndTest {
 protected:
  void prepare(const testing_support::TestUser& user) {
    ::setenv("USER", user.name.c_str(), 1);
    ::setenv("HOME", user.home.c_str(), 1);
    resetLauncherSwitches();
    user_ = user;
  }

  // One fresh setting per attack; `configure` adds configuration values before the build and
  // `attack` plants files after it (as root) and before the package is given to the user.
  Setting setting(const std::string& name, const std::function<void(AddonPackageBuilder&, const Setting&)>& configure) {
    Setting s;
    const fs::path root = fs::path(user_->scratch) / name;
    s.media = root / "media";
    s.secretFolder = dir_.path() / name / "secret";
    fs::create_directories(s.secretFolder);
    ::chmod(s.secretFolder.c_str(), 0700);
    offerAddonPlugin(root);
    InstanceBuilder builder(dir_.path() / name / "Applications");
    builder.launcher(RCPLAUNCHER_SIM_PATH);
    s.target = builder.build();
    AddonPackageBuilder package = addonPackageWithManifests(s.media);
    configure(package, s);
    auto built = package.build();
    s.package = built.package;
    s.deploy = built.deploy;
    return s;
  }

  NamespaceRun install(const Setting& s) {
    return freshNamespace()
        .run({{POSTFLIGHT_ADDON, s.package.string(), s.target.destination.string()}})[0];
  }

  std::optional<testing_support::TestUser> user_;
};

// A file holding the victim's text under another owner, mode or ACL: what the maker may not
// read must not come into the instance either.
void plantSecret(const fs::path& path, uid_t uid, mode_t mode, const std::string& acl = "") {
  writeFile(path, RootVictim::kContent);
  ASSERT_EQ(::chown(path.c_str(), uid, uid), 0);
  ASSERT_EQ(::chmod(path.c_str(), mode), 0);
  if (!acl.empty()) {
    ASSERT_EQ(std::system(("setfacl -m " + acl + " '" + path.string() + "'").c_str()), 0) << "needs setfacl";
  }
}

void ownFolder(const fs::path& path, uid_t uid, mode_t mode) {
  fs::create_directories(path);
  ASSERT_EQ(::chown(path.c_str(), uid, uid), 0);
  ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

TEST_F(PackageCopyAttackTest, NothingOnlyRootMayReadIsCopiedOutOfTheUsersPackage) {
  RCP_WITH_TEST_USER(user);
  prepare(user);
  using Configure = std::function<void(AddonPackageBuilder&, const Setting&)>;
  using Attack = std::function<void(const Setting&, const fs::path& victim)>;
  const Configure none = [](AddonPackageBuilder&, const Setting&) {};
  auto naming = [](const std::string& key, bool folder) -> Configure {
    return [key, folder](AddonPackageBuilder& p, const Setting& s) {
      p.set(key, (folder ? s.secretFolder : s.secretFolder / ".keystore.secret").string());
    };
  };
  struct Case {
    std::string name;
    Configure configure;
    Attack attack;
    bool secondInstall = false;
  };
  const std::vector<Case> cases = {
      {"extras-link-to-root-folder", none,
       [](const Setting& s, const fs::path&) { fs::create_directory_symlink(s.secretFolder, s.deploy / "extras"); }},
      {"link-inside-extras-merged", none,
       [](const Setting& s, const fs::path&) {
         writeFile(s.deploy / "extras/docs/readme.txt", "readme");
         fs::create_directory_symlink(s.secretFolder, s.deploy / "extras/docs/more");
       },
       true},
      {"customization-link", none,
       [](const Setting& s, const fs::path& v) { fs::create_symlink(v, s.deploy / "plugin_customization.ini"); }},
      {"install-manifest-link", none,
       [](const Setting& s, const fs::path& v) {
         fs::remove(s.deploy / "install.a.b.xml");
         fs::create_symlink(v, s.deploy / "install.a.b.xml");
       }},
      {"uninstall-manifest-link", none,
       [](const Setting& s, const fs::path& v) {
         fs::remove(s.deploy / "uninstall.a.b.xml");
         fs::create_symlink(v, s.deploy / "uninstall.a.b.xml");
       }},
      {"hard-link-inside-extras", none,
       [](const Setting& s, const fs::path& v) {
         writeFile(s.deploy / "extras/readme.txt", "readme");
         fs::create_hard_link(v, s.deploy / "extras/linked.txt");
       },
       true},
      {"hard-link-as-keystore", none,
       [](const Setting& s, const fs::path& v) { fs::create_hard_link(v, s.deploy / ".keystore"); }},
      {"hard-link-as-customization", none,
       [](const Setting& s, const fs::path& v) { fs::create_hard_link(v, s.deploy / "plugin_customization.ini"); }},
      {"extras-names-root-folder", naming("extras", true), nullptr},
      {"keystore-names-root-folder", naming("keystore", true), nullptr},
      {"customization-names-root-file", naming("pluginCustomization", false), nullptr},
      {"uninstall-manifest-names-root-file", naming("uninstallManifest", false), nullptr},
      {"install-manifest-names-root-file", naming("installManifest", false), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Setting s = setting(c.name, c.configure);
    RootVictim victim(s.secretFolder / ".keystore.secret");
    if (c.attack) c.attack(s, victim.path());
    chownTree(s.media, user.uid, user.gid);
    // The instance already holds a customization, so that one is merged, not copied.
    if (c.name == "hard-link-as-customization") writeFile(s.target.rcpHome / "plugin_customization.ini", "a=1\n");

    NamespaceRun first = install(s);
    NamespaceRun second = c.secondInstall ? install(s) : first;

    EXPECT_TRUE(victim.intact());
    EXPECT_TRUE(victim.noCopyBelow(s.target.bundle)) << first.fileText(kLog).value_or("");
    EXPECT_NE(first.status, -1) << first.standardError;
    EXPECT_NE(second.status, -1) << second.standardError;
  }
}

TEST_F(PackageCopyAttackTest, RefusedPathsAreLoggedOnceAndARealExtrasTreeIsCopiedWhole) {
  RCP_WITH_TEST_USER(user);
  prepare(user);
  Setting s = setting("legit", [](AddonPackageBuilder& p, const Setting& s) {
    p.set("pluginCustomization", (s.secretFolder / ".keystore.secret").string());
  });
  RootVictim victim(s.secretFolder / ".keystore.secret");
  writeFile(s.deploy / "extras/docs/guide/index.html", "<html/>");
  writeFile(s.deploy / "extras/top.txt", "top");
  fs::create_directory_symlink("docs", s.deploy / "extras/alias");  // stays inside: followed on a merge
  writeFile(s.deploy / ".keystore", "keys");
  chownTree(s.media, user.uid, user.gid);

  NamespaceRun first = install(s);
  NamespaceRun second = install(s);

  ASSERT_EQ(first.status, 0) << first.standardError;
  ASSERT_EQ(second.status, 0) << second.standardError;
  const fs::path extras = s.target.rcpHome / "deploy/extras";
  EXPECT_TRUE(fs::is_regular_file(extras / "docs/guide/index.html"));
  EXPECT_TRUE(fs::is_regular_file(extras / "top.txt"));
  EXPECT_TRUE(fs::is_regular_file(s.target.rcpHome / "deploy/.keystore"));
  EXPECT_TRUE(fs::is_regular_file(extras / "alias/guide/index.html"));
  EXPECT_TRUE(victim.intact());
  EXPECT_TRUE(victim.noCopyBelow(s.target.bundle));
  const std::string log = first.fileText(kLog).value_or("");
  const std::string refusal = "Not copying " + (s.secretFolder / ".keystore.secret").string() +
                              ": the package's owner could not read it";
  const std::vector<std::string> lines = testing_support::logTexts(log);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), refusal), 1) << log;
}

}  // namespace

namespace {

// The kernel decides what the maker reads: ACLs that deny them, a folder they may not search on
// the way to what a link in the package names, a configuration reached through a link into a
// third user's private folder, a package path whose trailing "/" would follow a link to root's
// package. None of it reaches the instance or the log's name; and no copy is set-id.
TEST_F(PackageCopyAttackTest, TheMakerReadsOnlyWhatTheKernelLetsThem) {
  RCP_WITH_TEST_USER(user);
  prepare(user);
  const uid_t third = testing_support::TestUser::kThirdUid;
  const std::string denyUser = "u:" + user.name + ":---";
  using Attack = std::function<void(const Setting&)>;
  struct Case {
    std::string name;
    Attack afterChown;  // as root, once the package is the user's
    bool secondInstall = false;
    std::string packageSuffix = "";
    Attack betweenInstalls = nullptr;  // as the maker would, before a second install
  };
  const std::vector<Case> cases = {
      {"acl-denies-the-maker-a-file",
       [&](const Setting& s) { plantSecret(s.deploy / "extras/acl.txt", 0, 0644, denyUser); }},
      {"acl-denies-the-maker-a-folder",
       [&](const Setting& s) {
         ownFolder(s.deploy / "extras/closed", 0, 0755);
         ASSERT_EQ(std::system(("setfacl -m " + denyUser + " '" + (s.deploy / "extras/closed").string() + "'").c_str()), 0);
         plantSecret(s.deploy / "extras/closed/inside.txt", 0, 0644);
       }},
      {"acl-denies-the-maker-a-keystore",
       [&](const Setting& s) { plantSecret(s.deploy / ".keystore", 0, 0644, denyUser); }},
      {"link-through-a-third-users-folder",
       [&](const Setting& s) {
         ownFolder(s.deploy / "extras/other", third, 0700);
         ownFolder(s.deploy / "extras/other/pub", third, 0755);
         plantSecret(s.deploy / "extras/other/pub/notes.txt", third, 0644);
       },
       true, "",
       [&](const Setting& s) {
         fs::create_directory_symlink("other/pub", s.deploy / "extras/l1");
         ASSERT_EQ(::lchown((s.deploy / "extras/l1").c_str(), user.uid, user.gid), 0);
       }},
      {"configuration-through-a-link-into-a-third-users-folder",
       [&](const Setting& s) {
         ownFolder(s.media / "private", third, 0700);
         fs::rename(s.package / "Contents", s.media / "private/Contents");
         fs::create_directory_symlink(s.media / "private/Contents", s.package / "Contents");
         ASSERT_EQ(::lchown((s.package / "Contents").c_str(), user.uid, user.gid), 0);
       }},
      {"trailing-slash-on-a-link-to-roots-package",
       [&](const Setting& s) {
         fs::rename(s.package, s.media / "roots.pkg");
         ASSERT_EQ(::chown((s.media / "roots.pkg").c_str(), 0, 0), 0);
         plantSecret(s.deploy / "extras/roots-only.txt", 0, 0600);
         fs::create_directory_symlink(s.media / "roots.pkg", s.package);
         ASSERT_EQ(::lchown(s.package.c_str(), user.uid, user.gid), 0);
       },
       false, "/."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Setting s = setting(c.name, [](AddonPackageBuilder&, const Setting&) {});
    RootVictim victim(s.secretFolder / ".keystore.secret");
    writeFile(s.deploy / "extras/readme.txt", "readme");
    chownTree(s.media, user.uid, user.gid);
    c.afterChown(s);
    Setting given = s;
    given.package = s.package.string() + c.packageSuffix;

    NamespaceRun first = install(given);
    if (c.betweenInstalls) c.betweenInstalls(s);
    NamespaceRun second = c.secondInstall ? install(given) : first;

    EXPECT_TRUE(victim.noCopyBelow(s.target.bundle)) << second.fileText(kLog).value_or("");
    EXPECT_NE(first.status, -1) << first.standardError;
    EXPECT_NE(second.status, -1) << second.standardError;
    if (c.name.starts_with("configuration") || c.name.starts_with("trailing")) {
      EXPECT_EQ(first.status, 199);
      EXPECT_FALSE(first.fileText(kLog)) << "the configuration was read";
    } else {
      // The entry refused is a copy that failed: said, and the run ends with 190; the rest is there.
      EXPECT_EQ(second.status, 190) << second.standardError;
      EXPECT_TRUE(fs::is_regular_file(s.target.rcpHome / "deploy/extras/readme.txt"));
    }
  }
}

// A program of root's that is set-user-id (and one set-group-id) named among the extras is copied
// as a plain program, also when the provisioning then fails and no repair follows.
TEST_F(PackageCopyAttackTest, CopiesCarryNoSetIdBits) {
  RCP_WITH_TEST_USER(user);
  prepare(user);
  for (const char* result : {"0", "1"}) {
    SCOPED_TRACE(std::string("launcher result ") + result);
    ::setenv("RCPSIM_FORCE_RC", result, 1);
    Setting s = setting(std::string("setid-") + result, [](AddonPackageBuilder&, const Setting&) {});
    writeFile(s.deploy / "extras/bin/tool", "#!/bin/sh\n");
    writeFile(s.deploy / "extras/bin/grouptool", "#!/bin/sh\n");
    chownTree(s.media, user.uid, user.gid);
    for (const auto& [name, mode] : {std::pair{"tool", 04755}, std::pair{"grouptool", 02755}}) {
      ASSERT_EQ(::chown((s.deploy / "extras/bin" / name).c_str(), 0, 0), 0);
      ASSERT_EQ(::chmod((s.deploy / "extras/bin" / name).c_str(), static_cast<mode_t>(mode)), 0);
    }

    NamespaceRun run = install(s);

    EXPECT_EQ(run.status, result == std::string("0") ? 0 : 190) << run.standardError;
    for (const char* name : {"tool", "grouptool"}) {
      struct stat copied {};
      ASSERT_EQ(::lstat((s.target.rcpHome / "deploy/extras/bin" / name).c_str(), &copied), 0) << name;
      EXPECT_EQ(copied.st_mode & 07000, 0u) << name;
      EXPECT_EQ(copied.st_mode & 0777, result == std::string("0") ? 0775u : 0755u) << name;  // repaired or not
    }
  }
}

// The instance's owner swaps "rcp/deploy" for a link to a folder of root's while an add-on is
// installed into the instance they own, just as the first key store is written there (after the
// manifests, before the extras): root writes nothing there and removes nothing there.
TEST_F(PackageCopyAttackTest, ADeployFolderSwappedForALinkLeadsNowhere) {
  RCP_WITH_TEST_USER(user);
  prepare(user);
  Setting s = setting("swap", [](AddonPackageBuilder&, const Setting&) {});
  writeFile(s.deploy / "extras/readme.txt", "readme");
  for (const char* name : {".keystore", ".keystore.2"}) writeFile(s.deploy / name, "k");
  chownTree(s.media, user.uid, user.gid);
  const fs::path roots = dir_.path() / "swap/roots";
  ownFolder(roots / "extras", 0, 0755);
  RootVictim extrasVictim(roots / "extras/readme.txt");
  RootVictim keyStoreVictim(roots / ".keystore.2");
  // The instance is the user's, as the repair after an earlier installation leaves it, and they
  // can reach it.
  chownTree(s.target.bundle, user.uid, user.gid);
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
  const fs::path deploy = s.target.rcpHome / "deploy";
  testing_support::OpenPause pause(
      deploy, [](const std::string& name) { return name.find(".keystore") != std::string::npos; },
      [&] {
        onceAsUser(user.uid, [&] { return testing_support::swapForLink(deploy, roots, ".real"); });
      });
  if (!pause.watching()) GTEST_SKIP() << "no fanotify permission events here";

  NamespaceRun run = install(s);

  ASSERT_TRUE(pause.fired());
  ASSERT_TRUE(fs::is_symlink(deploy));
  EXPECT_EQ(run.status, 190) << run.standardError;
  EXPECT_TRUE(extrasVictim.intact());
  EXPECT_TRUE(keyStoreVictim.intact());
  EXPECT_EQ(std::distance(fs::directory_iterator(roots), fs::directory_iterator()), 2);
  EXPECT_EQ(std::distance(fs::directory_iterator(roots / "extras"), fs::directory_iterator()), 1);
}

// The maker moves the package away while it is installed and puts a link to a package of root's
// in its place, once the uninstall manifest has been read: what the run reads after that it
// still reads as the maker of the package it began with, so root's private file stays root's.
TEST_F(PackageCopyAttackTest, APackageMovedAwayMidRunIsStillReadAsItsMaker) {
  RCP_WITH_TEST_USER(user);
  prepare(user);
  Setting s = setting("moved", [](AddonPackageBuilder&, const Setting&) {});
  writeFile(s.deploy / "extras/readme.txt", "readme");
  chownTree(s.media.parent_path(), user.uid, user.gid);
  const fs::path rootMedia = dir_.path() / "moved/rootmedia";
  ownFolder(rootMedia / s.package.filename(), 0, 0755);
  ownFolder(rootMedia / "deploy/extras", 0, 0755);
  RootVictim victim(rootMedia / "deploy/extras/readme.txt");
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
  testing_support::OpenPause pause(
      s.deploy, [](const std::string& name) { return name == "uninstall.a.b.xml"; },
      [&] {
        onceAsUser(user.uid, [&] { return testing_support::swapForLink(s.media, rootMedia, ".away"); });
      });
  if (!pause.watching()) GTEST_SKIP() << "no fanotify permission events here";

  NamespaceRun run = install(s);

  ASSERT_TRUE(pause.fired());
  ASSERT_TRUE(fs::is_symlink(s.media));
  EXPECT_EQ(run.status, 190) << run.standardError;
  EXPECT_TRUE(victim.intact());
  EXPECT_TRUE(victim.noCopyBelow(s.target.bundle)) << run.fileText(kLog).value_or("");
  EXPECT_TRUE(fs::is_regular_file(s.target.rcpHome / "deploy/uninstall.a.b.xml")) << "read before the move";
}

}  // namespace
