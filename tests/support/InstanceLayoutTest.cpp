// The files an installation puts into an instance and the ownership repair after a run.
// Tests that check owners run as root in the test user's private mount namespace, where the
// group "admin" is added when the machine has none.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/ScopedEnvironment.h"
#include "common/TestUser.h"
#include "installer/formats/JavaProperties.h"
#include "support/InstanceStagingFixture.h"

namespace {

using instance_testing::dataFile;
using instance_testing::existsNoFollow;
using instance_testing::Instance;
using instance_testing::LogCapture;
using instance_testing::readFile;
using instance_testing::readProperties;
using instance_testing::writeFile;
using testing_support::ScopedEnvironment;
using Properties = std::map<std::string, std::string>;
namespace fs = std::filesystem;

struct stat statusOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
  return status;
}

::testing::AssertionResult hasStandardAttributes(const std::string& path, uid_t owner) {
  const struct stat status = statusOf(path);
  const gid_t admin = ::getgrnam("admin")->gr_gid;
  const bool modeOk = S_ISLNK(status.st_mode) || (status.st_mode & 07777) == 0775;
  if (status.st_uid == owner && status.st_gid == admin && modeOk) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << path << " has " << status.st_uid << ":" << status.st_gid
                                       << " mode " << std::oct << (status.st_mode & 07777);
}

::testing::AssertionResult isUnchanged(const std::string& path, const struct stat& before) {
  const struct stat now = statusOf(path);
  if (now.st_uid == before.st_uid && now.st_gid == before.st_gid && now.st_mode == before.st_mode) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << path << " was changed";
}

std::vector<std::string> entriesOf(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// ---- Link files ----

TEST(InstanceLayout, LinkFilesNameTheRcpHomeAndTheSharedFolder) {
  RCP_WITH_TEST_USER(user);
  ASSERT_TRUE(instance_testing::ensureAdminGroupInNamespace(user.scratch));
  ScopedEnvironment asUser("USER", user.name);
  Instance instance;
  const auto service = instance.service();

  ASSERT_TRUE(service.generateLinks());
  EXPECT_TRUE(hasStandardAttributes(instance.at("eclipse/links"), user.uid));
  EXPECT_EQ(readProperties(instance.at("eclipse/links/rcp.link")), (Properties{{"path", instance.rcphome}}));
  EXPECT_EQ(readProperties(instance.at("eclipse/links/shared.link")),
            (Properties{{"path", instance.install + "/shared"}}));

  // Run again: the same paths, and keys that someone added stay.
  writeFile(instance.at("eclipse/links/rcp.link"), "path=/stale\nextra=kept\n");
  ASSERT_TRUE(service.generateLinks());
  EXPECT_EQ(readProperties(instance.at("eclipse/links/rcp.link")),
            (Properties{{"extra", "kept"}, {"path", instance.rcphome}}));
}

TEST(InstanceLayout, LinkFilesNeedEclipseAndARealLinksFolder) {
  {
    SCOPED_TRACE("no eclipse folder");
    Instance instance;
    fs::remove_all(instance.at("eclipse"));
    EXPECT_FALSE(instance.service().generateLinks());
    EXPECT_FALSE(existsNoFollow(instance.at("eclipse")));
  }
  {
    SCOPED_TRACE("links folder is a link to another place");
    Instance instance;
    const std::string elsewhere = instance.dir / "elsewhere";
    fs::create_directories(elsewhere);
    fs::create_directory_symlink(elsewhere, instance.at("eclipse/links"));
    LogCapture log;
    EXPECT_FALSE(instance.service().generateLinks());
    EXPECT_TRUE(log.contains("Not able to create links directory"));
    EXPECT_TRUE(entriesOf(elsewhere).empty());
  }
  {
    SCOPED_TRACE("eclipse folder is a link to another place");
    Instance instance;
    const std::string elsewhere = instance.dir / "elsewhere";
    fs::create_directories(elsewhere);
    fs::remove_all(instance.at("eclipse"));
    fs::create_directory_symlink(elsewhere, instance.at("eclipse"));
    EXPECT_FALSE(instance.service().generateLinks());
    EXPECT_TRUE(entriesOf(elsewhere).empty());
  }
}

TEST(InstanceLayout, AServiceWithoutAnRcpHomeLaysOutNothing) {
  const support::InstanceService unbound(std::nullopt);
  EXPECT_FALSE(unbound.generateLinks());
  EXPECT_FALSE(unbound.copyOgsiAgentProperties("/etc/hostname"));
  EXPECT_FALSE(unbound.generateJVMPropertiesWithTemplate(std::nullopt));
}

// ---- Agent and JVM settings ----

TEST(InstanceLayout, AgentSettingsAreCopiedOnce) {
  Instance instance;
  const auto service = instance.service();
  const std::string templatePath = instance.dir / "osgiagent.template";
  const std::string target = instance.at("osgiagent.properties");
  {
    LogCapture log;
    EXPECT_FALSE(service.copyOgsiAgentProperties(templatePath));
    EXPECT_TRUE(log.contains("Not able to find template for osgiagent.properties"));
  }
  writeFile(templatePath, "agent.port=7777\n");
  EXPECT_TRUE(service.copyOgsiAgentProperties(templatePath));
  EXPECT_EQ(readFile(target), "agent.port=7777\n");

  writeFile(templatePath, "agent.port=8888\n");
  EXPECT_FALSE(service.copyOgsiAgentProperties(templatePath)) << "a copy never overwrites";
  EXPECT_EQ(readFile(target), "agent.port=7777\n");
}

TEST(InstanceLayout, JvmSettingsComeFromTheTemplateOrStartEmpty) {
  RCP_WITH_TEST_USER(user);
  ASSERT_TRUE(instance_testing::ensureAdminGroupInNamespace(user.scratch));
  Instance instance;
  fs::remove_all(instance.at("deploy"));
  const auto service = instance.service();
  const std::string target = instance.at("deploy/jvm.properties");
  const std::string templatePath = instance.dir / "jvm.template";

  EXPECT_TRUE(service.generateJVMPropertiesWithTemplate(instance.dir / "no-such-template"));
  EXPECT_TRUE(hasStandardAttributes(instance.at("deploy"), ::geteuid())) << "made with the login name";
  EXPECT_EQ(readFile(target), "");
  EXPECT_TRUE(hasStandardAttributes(target, ::geteuid()));

  writeFile(templatePath, "-Xmx512m\n");
  EXPECT_FALSE(service.generateJVMPropertiesWithTemplate(templatePath)) << "a copy never overwrites";
  EXPECT_EQ(readFile(target), "");

  writeFile(target, "-Xmx64m\n");
  EXPECT_TRUE(service.generateJVMPropertiesWithTemplate(std::nullopt));
  EXPECT_EQ(readFile(target), "") << "without a template the file starts empty again";
  EXPECT_TRUE(hasStandardAttributes(target, ::geteuid())) << "the replaced file's own mode does not stay";

  fs::remove(target);
  EXPECT_TRUE(service.generateJVMPropertiesWithTemplate(templatePath));
  EXPECT_EQ(readFile(target), "-Xmx512m\n");

  // A "deploy" that is a link to another place: nothing is written there.
  fs::remove_all(instance.at("deploy"));
  const std::string elsewhere = instance.dir / "elsewhere";
  fs::create_directories(elsewhere);
  fs::create_directory_symlink(elsewhere, instance.at("deploy"));
  EXPECT_FALSE(service.generateJVMPropertiesWithTemplate(std::nullopt));
  EXPECT_FALSE(service.generateJVMPropertiesWithTemplate(templatePath));
  EXPECT_TRUE(entriesOf(elsewhere).empty());
}

// ---- Key stores and extras ----

TEST(InstanceLayout, KeyStoresAreReplacedByPrefixInAnyLetterCase) {
  Instance instance;
  const std::string source = instance.dir / "keystore";
  const std::string outside = instance.dir / "outside.keystore";
  writeFile(instance.at("deploy/.keystore"), "old");
  writeFile(instance.at("deploy/.KeyStore.2019"), "old");
  writeFile(instance.at("deploy/install.xml"), "manifest");
  writeFile(outside, "not ours");
  fs::create_symlink(outside, instance.at("deploy/.keystore.link"));
  writeFile(source + "/.keystore", "new");
  writeFile(source + "/.KEYSTORE.bak", "new backup");
  writeFile(source + "/my.keystore", "not a key store name");
  LogCapture log;

  instance.service().copyKeyStores(source);

  EXPECT_EQ(entriesOf(instance.at("deploy")),
            (std::vector<std::string>{".KEYSTORE.bak", ".keystore", "install.xml"}));
  EXPECT_EQ(readFile(instance.at("deploy/.keystore")), "new");
  EXPECT_EQ(readFile(outside), "not ours") << "a link is deleted, never its target";
  EXPECT_TRUE(log.contains(".keystore source files are in " + source + "."));
  EXPECT_TRUE(log.contains("Copy keystore file '.KEYSTORE.bak' from " + source +
                           "/.KEYSTORE.bak to " + instance.at("deploy/.KEYSTORE.bak") + "."));

  instance.service().copyKeyStores(instance.dir / "no-such-folder");
  EXPECT_EQ(entriesOf(instance.at("deploy")), (std::vector<std::string>{"install.xml"}));
}

TEST(InstanceLayout, ExtrasAreMergedIntoDeploy) {
  Instance instance;
  const std::string source = instance.dir / "extras";
  writeFile(source + "/readme.txt", "new");
  writeFile(source + "/docs/guide.txt", "guide");
  writeFile(instance.at("deploy/extras/readme.txt"), "old");
  writeFile(instance.at("deploy/extras/kept.txt"), "kept");

  instance.service().copyExtras(source);
  EXPECT_EQ(readFile(instance.at("deploy/extras/readme.txt")), "new");
  EXPECT_EQ(readFile(instance.at("deploy/extras/docs/guide.txt")), "guide");
  EXPECT_EQ(readFile(instance.at("deploy/extras/kept.txt")), "kept");

  Instance empty;
  fs::create_directories(empty.dir / "extras");
  LogCapture log;
  empty.service().copyExtras(empty.dir / "extras");
  empty.service().copyExtras(empty.dir / "no-such-folder");
  EXPECT_FALSE(existsNoFollow(empty.at("deploy/extras")));
  EXPECT_FALSE(log.contains("Begin to copy files"));
}

// ---- Plug-in customization ----

TEST(InstanceLayout, CustomizationMergesIntoTheBasePluginAndTheInstance) {
  const Properties merged = {{"addon.one/feature.visible", "false"},
                             {"com.norq.rcp.base/server", "https://addon.example"},
                             {"com.norq.rcp.base/update.enabled", "true"}};
  const std::string addon = dataFile("plugin_customization.addon.ini");
  {
    SCOPED_TRACE("base plug-in with a customization file");
    Instance instance;
    instance.addBasePlugin("6.2.9");
    const std::string baseFile = instance.at("eclipse/plugins/com.norq.rcp.base_6.2.9/plugin_customization.ini");
    fs::copy_file(dataFile("plugin_customization.base.ini"), baseFile);
    EXPECT_TRUE(instance.service().mergePluginCustomizationWithBase(addon));
    EXPECT_EQ(readProperties(baseFile), merged);
    EXPECT_EQ(readProperties(instance.at("plugin_customization.ini")), merged);
  }
  {
    SCOPED_TRACE("base plug-in without a customization file");
    Instance instance;
    instance.addBasePlugin("6.2.9");
    EXPECT_TRUE(instance.service().mergePluginCustomizationWithBase(addon));
    EXPECT_FALSE(existsNoFollow(instance.at("plugin_customization.ini")));
  }
  {
    SCOPED_TRACE("no base plug-in, or no customization to merge");
    Instance instance;
    EXPECT_FALSE(instance.service().mergePluginCustomizationWithBase(addon));
    instance.addBasePlugin("6.2.9");
    EXPECT_FALSE(instance.service().mergePluginCustomizationWithBase(instance.dir / "missing.ini"));
    EXPECT_FALSE(instance.service().mergePluginCustomizationWithBase(std::nullopt));
  }
  {
    SCOPED_TRACE("instance with a customization file");
    Instance instance;
    fs::copy_file(dataFile("plugin_customization.base.ini"), instance.at("plugin_customization.ini"));
    EXPECT_TRUE(instance.service().mergePluginCustomizationWithRcphome(addon));
    EXPECT_EQ(readProperties(instance.at("plugin_customization.ini")), merged);
  }
  {
    SCOPED_TRACE("instance without a customization file");
    Instance instance;
    EXPECT_TRUE(instance.service().mergePluginCustomizationWithRcphome(instance.dir / "missing.ini"));
    EXPECT_FALSE(existsNoFollow(instance.at("plugin_customization.ini")));
    EXPECT_TRUE(instance.service().mergePluginCustomizationWithRcphome(addon));
    EXPECT_EQ(readFile(instance.at("plugin_customization.ini")), readFile(addon));
    EXPECT_FALSE(instance.service().mergePluginCustomizationWithRcphome(std::nullopt));
  }
  {
    SCOPED_TRACE("instance file too large to read: left as it is, and the merge fails");
    Instance instance;
    const std::string large = "big=" + std::string(support::kJavaPropertiesSizeCap, 'x') + "\n";
    std::ofstream(instance.at("plugin_customization.ini")) << large;
    EXPECT_FALSE(instance.service().mergePluginCustomizationWithRcphome(addon));
    EXPECT_EQ(readFile(instance.at("plugin_customization.ini")), large);
  }
}

// ---- Ownership repair ----

TEST(InstanceLayout, RepairGivesTheInstanceAndSharedFolderToTheUser) {
  RCP_WITH_TEST_USER(user);
  ASSERT_TRUE(instance_testing::ensureAdminGroupInNamespace(user.scratch));
  ScopedEnvironment asUser("USER", user.name);
  Instance instance;
  const std::string outside = instance.dir / "outside.txt";
  writeFile(instance.at("rcplauncher.properties"), "vm.args=-Xmx256m\n");
  writeFile(instance.at("eclipse/plugins/com.norq.rcp.base_6.2.9/plugin.jar"), "jar");
  writeFile(instance.besideRcphome("shared/settings.ini"), "x=1\n");
  writeFile(outside, "root's");
  ::chmod(outside.c_str(), 0600);
  fs::create_symlink(outside, instance.at("deploy/outside.link"));
  // Hard links to a file of root's, as a user could place them where the link rules allow.
  fs::create_hard_link(outside, instance.at("eclipse/plugins/linked.jar"));
  fs::create_hard_link(outside, instance.besideRcphome("shared/linked.ini"));
  const struct stat outsideBefore = statusOf(outside);
  const struct stat settingsBefore = statusOf(instance.at("rcplauncher.properties"));

  instance.service().updatePermissionsUpdateWorkspace(false, false);
  EXPECT_TRUE(isUnchanged(instance.at("rcplauncher.properties"), settingsBefore))
      << "nothing is repaired unless asked";

  LogCapture log;
  instance.service().updatePermissionsUpdateWorkspace(true, false);
  for (const char* relative : {"rcplauncher.properties", "deploy", "eclipse/plugins",
                               "eclipse/plugins/com.norq.rcp.base_6.2.9/plugin.jar"}) {
    EXPECT_TRUE(hasStandardAttributes(instance.at(relative), user.uid));
  }
  EXPECT_TRUE(hasStandardAttributes(instance.besideRcphome("shared/settings.ini"), user.uid));
  EXPECT_TRUE(isUnchanged(outside, outsideBefore)) << "neither a link nor a hard link is followed";
  for (const std::string& linked :
       {instance.at("eclipse/plugins/linked.jar"), instance.besideRcphome("shared/linked.ini")}) {
    EXPECT_TRUE(log.contains("<Warning>: Not changing the owner or mode of " + linked +
                             ": it has 3 hard links\n"))
        << log.text();
  }
  const std::string text = log.text();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << "one line for each";

  SCOPED_TRACE("a shared folder that is a link is not walked...");
  Instance linked;
  const std::string elsewhere = linked.dir / "elsewhere";
  writeFile(elsewhere + "/file", "root's");
  fs::create_directory_symlink(elsewhere, linked.besideRcphome("shared"));
  const struct stat elsewhereBefore = statusOf(elsewhere + "/file");
  writeFile(linked.at("deploy/install.xml"), "manifest");
  linked.service().updatePermissionsUpdateWorkspace(true, false);
  EXPECT_TRUE(isUnchanged(elsewhere + "/file", elsewhereBefore));

  SCOPED_TRACE("nor is an rcp home named through a link");
  fs::create_directory_symlink(linked.dir / "Client.app", linked.dir / "Linked.app");
  ASSERT_EQ(0, ::lchown(linked.at("deploy/install.xml").c_str(), 0, 0));
  ::chmod(linked.at("deploy/install.xml").c_str(), 0644);
  const struct stat manifestBefore = statusOf(linked.at("deploy/install.xml"));
  support::InstanceService(linked.dir / "Linked.app/Contents/MacOS/rcp")
      .updatePermissionsUpdateWorkspace(true, false);
  EXPECT_TRUE(isUnchanged(linked.at("deploy/install.xml"), manifestBefore));
}

TEST(InstanceLayout, WorkspaceIsRepairedOnlyInsideHome) {
  RCP_WITH_TEST_USER(user);
  ASSERT_TRUE(instance_testing::ensureAdminGroupInNamespace(user.scratch));
  // Should the check ever fail, /etc is read-only in this private namespace.
  ASSERT_EQ(::mount("/etc", "/etc", nullptr, MS_BIND | MS_REC, nullptr), 0);
  ASSERT_EQ(::mount(nullptr, "/etc", nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr), 0);
  ScopedEnvironment asUser("USER", user.name);

  testing_support::TempDir place;
  const std::string home = place / "home";
  const std::string outside = place / "outside";
  writeFile(home + "/workspace/.metadata/version.ini", "1");
  writeFile(outside + "/data.txt", "not the user's");
  fs::create_directory_symlink("/etc", home + "/etc-link");
  fs::create_directory_symlink(outside, home + "/outside-link");
  fs::create_directory_symlink(outside, home + "/workspace/escape");
  const struct stat outsideBefore = statusOf(outside + "/data.txt");
  const struct stat etcBefore = statusOf("/etc/hostname");

  struct Case {
    const char* workspace;
    bool repaired;
    const char* warning;  // the end of the log line, or none
  };
  const Case cases[] = {
      {"${env.HOME}/workspace", true, nullptr},
      {"~/workspace", true, nullptr},
      {"${env.HOME}//./workspace/", true, nullptr},
      {"/etc", false, "not inside"},
      {"${env.HOME}/etc-link", false, "a link on its path"},
      {"${env.HOME}/outside-link", false, "a link on its path"},
      {"${env.HOME}/workspace/escape", false, "a link on its path"},
      {"${env.HOME}/workspace/../../outside", false, "not inside"},
      {"${env.HOME}", false, "not inside"},
      {"workspace", false, "not inside"},
      {"${env.HOME}/no-workspace-yet", false, nullptr},
      {"${env.HOME}/workspace/.metadata/version.ini", false, "Not a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.workspace);
    Instance instance;
    writeFile(instance.at("rcplauncher.properties"), std::string("rcp.data=") + c.workspace + "\n");
    writeFile(instance.at("deploy/install.xml"), "manifest");
    const struct stat instanceBefore = statusOf(instance.at("deploy/install.xml"));
    fs::permissions(home + "/workspace/.metadata/version.ini", fs::perms(0600));
    ASSERT_EQ(0, ::lchown((home + "/workspace/.metadata/version.ini").c_str(), 0, 0));
    ScopedEnvironment homeForExpansion("HOME", home);
    LogCapture log;

    instance.service().updatePermissionsUpdateWorkspace(false, true);

    const std::string inWorkspace = home + "/workspace/.metadata/version.ini";
    EXPECT_EQ(hasStandardAttributes(inWorkspace, user.uid), c.repaired);
    EXPECT_TRUE(isUnchanged(outside + "/data.txt", outsideBefore));
    EXPECT_TRUE(isUnchanged("/etc/hostname", etcBefore));
    EXPECT_TRUE(isUnchanged(instance.at("deploy/install.xml"), instanceBefore))
        << "the instance is repaired only when asked";
    if (c.warning) {
      EXPECT_TRUE(log.contains("Not changing the owner of workspace")) << log.text();
      EXPECT_TRUE(log.contains(c.warning)) << log.text();
    } else {
      EXPECT_EQ(log.text(), "") << "no workspace yet is nothing to warn of";
    }
  }

  SCOPED_TRACE("no HOME: nothing happens");
  Instance instance;
  writeFile(instance.at("rcplauncher.properties"), "rcp.data=${env.HOME}/workspace\n");
  ScopedEnvironment noHome("HOME", std::nullopt);
  ASSERT_EQ(0, ::lchown((home + "/workspace/.metadata/version.ini").c_str(), 0, 0));
  instance.service().updatePermissionsUpdateWorkspace(false, true);
  EXPECT_EQ(statusOf(home + "/workspace/.metadata/version.ini").st_uid, 0u);
}

}  // namespace
