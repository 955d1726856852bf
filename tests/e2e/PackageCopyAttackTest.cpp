// Copies out of an add-on package whose folder the test user owns: every way of making root
// copy a file of root's that only root may read into the instance (a link, a hard link, a
// configuration value naming it) must leave that file as it was and its content nowhere in
// the instance, which the user owns after the repair. postflightAddon runs as root for the
// test user with the simulated launcher in a private mount namespace.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "common/AddonPackageBuilder.h"
#include "common/EndToEndTest.h"
#include "common/InstanceBuilder.h"
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
    user_ = &user;
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

  const testing_support::TestUser* user_ = nullptr;
};

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
