// Manifest staging, launcher settings and the provisioning result of an instance.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <regex>

#include "support/InstanceStagingFixture.h"

namespace {

using instance_testing::dataFile;
using instance_testing::existsNoFollow;
using instance_testing::Instance;
using instance_testing::LogCapture;
using instance_testing::readFile;
using instance_testing::readProperties;
using instance_testing::writeFile;
namespace fs = std::filesystem;

const std::string kManifestText = *readFile(dataFile("update-manifest.xml"));

void collectFeatureUrls(xmlNode* node, std::vector<std::string>& urls) {
  for (; node != nullptr; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    if (xmlStrEqual(node->name, BAD_CAST "feature")) {
      xmlChar* url = xmlGetProp(node, BAD_CAST "url");
      urls.push_back(url != nullptr ? reinterpret_cast<const char*>(url) : "");
      xmlFree(url);
    }
    collectFeatureUrls(node->children, urls);
  }
}

std::vector<std::string> featureUrls(const std::string& manifestPath) {
  xmlDoc* document = xmlReadFile(manifestPath.c_str(), nullptr, XML_PARSE_NONET);
  EXPECT_NE(document, nullptr) << manifestPath;
  std::vector<std::string> urls;
  if (document != nullptr) collectFeatureUrls(document->children, urls);
  xmlFreeDoc(document);
  return urls;
}

bool isManifestVersion(const std::optional<std::string>& text) {
  return text && std::regex_match(*text, std::regex("[0-9]{10}"));
}

// ---- Staging ----

TEST(InstanceStaging, RewritesTheInstallerRootAsFileWithOneSlash) {
  Instance instance;
  const std::string source = instance.dir / "pkg/install.addon.xml";
  const std::string root = instance.dir / "Addon.pkg";
  writeFile(source, kManifestText);
  fs::create_directories(root);
  LogCapture log;

  ASSERT_TRUE(instance.service().copyUpdateManifestReplaceInstallerRootWith(source, root));

  const std::string staged = instance.at("deploy/install.update.xml");
  EXPECT_EQ(featureUrls(staged),
            (std::vector<std::string>{"file:" + root + "/updates/site",
                                      "jar:file:" + root + "/help.jar!/"}));
  ASSERT_EQ(root.front(), '/');
  EXPECT_EQ(readFile(staged)->find("file://"), std::string::npos);
  EXPECT_EQ(readFile(source), kManifestText) << "the package's manifest stays as it was";
  EXPECT_TRUE(log.contains("Copying install manifest to " + staged + ". "));
  EXPECT_TRUE(log.contains("Get ${installer.root} : file:" + root + ". "));
}

TEST(InstanceStaging, StagingOutcomes) {
  struct Case {
    const char* label;
    std::function<void(const Instance&)> prepare;
    bool sourceExists;
    std::string sourceText;
    bool rootGiven;
    bool rootExists;
    bool expected;
    bool stagedIsSourceCopy;
  };
  const Case cases[] = {
      {"root that does not exist: plain copy", nullptr, true, kManifestText, true, false, true, true},
      {"no root: plain copy", nullptr, true, kManifestText, false, false, true, true},
      {"replaces an existing update manifest",
       [](const Instance& i) { writeFile(i.at("deploy/install.update.xml"), "old manifest"); },
       true, kManifestText, false, false, true, true},
      {"replaces a link at the target, not the file it points to",
       [](const Instance& i) {
         writeFile(i.dir / "precious.xml", "precious");
         fs::create_symlink(i.dir / "precious.xml", i.at("deploy/install.update.xml"));
       },
       true, kManifestText, true, false, true, true},
      {"no deploy folder", [](const Instance& i) { fs::remove_all(i.at("deploy")); }, true,
       kManifestText, true, true, false, false},
      {"missing source", nullptr, false, kManifestText, true, true, false, false},
      {"not a manifest: the rewrite fails, the copy stays", nullptr, true, "not <xml", true, true,
       false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Instance instance;
    const std::string source = instance.dir / "pkg/install.addon.xml";
    const std::string root = instance.dir / "Addon.pkg";
    if (c.sourceExists) writeFile(source, c.sourceText);
    if (c.rootExists) fs::create_directories(root);
    if (c.prepare) c.prepare(instance);

    const auto installerRoot = c.rootGiven ? std::optional<std::string>(root) : std::nullopt;
    EXPECT_EQ(instance.service().copyUpdateManifestReplaceInstallerRootWith(source, installerRoot),
              c.expected);

    const std::string staged = instance.at("deploy/install.update.xml");
    if (c.stagedIsSourceCopy) {
      EXPECT_FALSE(fs::is_symlink(staged));
      EXPECT_EQ(readFile(staged), c.sourceText);
    }
    if (fs::exists(instance.dir / "precious.xml")) {
      EXPECT_EQ(readFile(instance.dir / "precious.xml"), "precious");
    }
    if (!c.expected && !c.stagedIsSourceCopy) {
      EXPECT_FALSE(existsNoFollow(staged));
    }
  }
}

TEST(InstanceStaging, ShortFormsStageUnderTheirOwnNames) {
  Instance instance;
  const std::string uninstall = instance.dir / "pkg/uninstall.addon.one.xml";
  const std::string root = instance.dir / "Addon.pkg";
  writeFile(uninstall, kManifestText);
  fs::create_directories(root);
  writeFile(instance.at("deploy/uninstall.hotfix.xml"), "previous hotfix");
  const auto service = instance.service();

  EXPECT_TRUE(service.copyManifest(uninstall));
  EXPECT_EQ(readFile(instance.at("deploy/uninstall.addon.one.xml")), kManifestText)
      << "staged under its own name and not rewritten";

  EXPECT_TRUE(service.copyInstallManifestReplaceInstallerRootWith(uninstall, root));
  EXPECT_EQ(featureUrls(instance.at("deploy/install.xml")).front(), "file:" + root + "/updates/site");

  EXPECT_TRUE(service.copyHotfixUninstallManifest(uninstall));
  EXPECT_EQ(readFile(instance.at("deploy/uninstall.hotfix.xml")), kManifestText);

  EXPECT_FALSE(service.copyManifest(instance.dir / "pkg/missing.xml"));
  EXPECT_FALSE(service.copyHotfixUninstallManifest(instance.dir / "pkg/missing.xml"));
  const support::InstanceService unbound(instance.dir / "no-such-rcp");
  EXPECT_FALSE(unbound.copyManifest(uninstall));
  EXPECT_FALSE(unbound.copyUpdateManifestReplaceInstallerRootWith(uninstall, root));
  EXPECT_FALSE(unbound.copyHotfixUninstallManifest(uninstall));
}

// ---- Backup and launcher settings ----

TEST(LauncherSettings, BackupIsNamedByTheManifestVersionAndNeverReplaced) {
  Instance instance;
  const auto service = instance.service();
  writeFile(instance.at("deploy/install.xml"), "first");

  service.backupInstallManifest();
  EXPECT_FALSE(existsNoFollow(instance.at("deploy/install.old.xml"))) << "no settings, no backup";

  writeFile(instance.at("rcplauncher.properties"), "rcp.data=/Users/u/workspace\n");
  service.backupInstallManifest();
  writeFile(instance.at("deploy/install.xml"), "second");
  service.backupInstallManifest();
  EXPECT_EQ(readFile(instance.at("deploy/install.old.xml")), "first")
      << "the first backup of a version is kept";

  writeFile(instance.at("rcplauncher.properties"), "provisioning.manifest.version=0612262308\n");
  service.backupInstallManifest();
  EXPECT_EQ(readFile(instance.at("deploy/install.0612262308.xml")), "second");

  // The version is text from the settings: it names a file in "deploy" and no other place.
  fs::create_directories(instance.at("deploy/install.x"));
  writeFile(instance.at("rcplauncher.properties"),
            "provisioning.manifest.version=x/../../escaped\n");
  service.backupInstallManifest();
  EXPECT_FALSE(existsNoFollow(instance.at("escaped.xml")));
}

TEST(LauncherSettings, RefreshWritesOneFreshVersionAndTheBaseLocation) {
  Instance instance;
  instance.addBasePlugin("6.2.9.20121012");
  writeFile(instance.at("rcplauncher.properties"),
            "rcp.data=/Users/u/workspace\nprovisioning.manifest.version=old\n");

  ASSERT_TRUE(instance.service().updateRcpLauncherProperties());
  auto settings = readProperties(instance.at("rcplauncher.properties"));
  EXPECT_TRUE(isManifestVersion(settings["provisioning.manifest.version"]));
  EXPECT_EQ(settings["rcp.install.id"], settings["provisioning.manifest.version"]);
  EXPECT_EQ(settings["rcp.base.location"],
            "${rcp.home}/rcp/eclipse/plugins/com.norq.rcp.base_6.2.9.20121012");
  EXPECT_EQ(settings["rcp.data"], "/Users/u/workspace");
}

TEST(LauncherSettings, WithoutABasePluginTheBaseLocationIsLeftAlone) {
  for (const auto& before : {std::optional<std::string>("earlier/location"),
                                                  std::optional<std::string>()}) {
    SCOPED_TRACE(before.value_or("no rcp.base.location"));
    Instance instance;
    writeFile(instance.at("rcplauncher.properties"),
              before ? "rcp.base.location=" + *before + "\n" : "rcp.data=/w\n");
    ASSERT_TRUE(instance.service().updateRcpLauncherProperties());
    auto settings = readProperties(instance.at("rcplauncher.properties"));
    EXPECT_EQ(settings.count("rcp.base.location") == 1, before.has_value());
    if (before) {
      EXPECT_EQ(settings["rcp.base.location"], *before);
    }
  }
}

TEST(LauncherSettings, UpdatesNeverCreateTheSettingsFile) {
  Instance instance;
  const auto service = instance.service();
  const std::string path = instance.at("rcplauncher.properties");

  service.updateProvisionManifestVersion("0101000000");
  service.updateInstallID("0101000000");
  EXPECT_FALSE(service.updateRcpLauncherProperties());
  EXPECT_FALSE(existsNoFollow(path));

  writeFile(path, "vm.args=-Xmx256m\n");
  service.updateProvisionManifestVersion("0612262308");
  service.updateInstallID("install-7");
  EXPECT_EQ(readProperties(path), (std::map<std::string, std::string>{
                                      {"provisioning.manifest.version", "0612262308"},
                                      {"rcp.install.id", "install-7"},
                                      {"vm.args", "-Xmx256m"}}));
}

TEST(LauncherSettings, TemplateCreatesTheSettings) {
  for (const auto& workspace :
       {std::optional<std::string>("${env.HOME}/workspace"), std::optional<std::string>()}) {
    SCOPED_TRACE(workspace.value_or("no workspace"));
    Instance instance;
    instance.addBasePlugin("6.2.3");
    ASSERT_TRUE(instance.service().generateRcplauncherPropertiesWithTemplateWorkspace(
        dataFile("rcplauncher.template.properties"), workspace));

    auto settings = readProperties(instance.at("rcplauncher.properties"));
    EXPECT_TRUE(isManifestVersion(settings["provisioning.manifest.version"]));
    EXPECT_EQ(settings["rcp.install.id"], settings["provisioning.manifest.version"]);
    EXPECT_EQ(settings["provisioning.manifest"], "file:/${rcp.home}/rcp/deploy/install.xml");
    EXPECT_EQ(settings["rcp.base.location"], "${rcp.home}/rcp/eclipse/plugins/com.norq.rcp.base_6.2.3");
    EXPECT_EQ(settings["vm.args"], "-Xms32m -Xmx256m") << "the template's own keys stay";
    EXPECT_EQ(settings.count("rcp.data") == 1, workspace.has_value());
    if (workspace) {
      EXPECT_EQ(settings["rcp.data"], *workspace);
    }
  }
}

TEST(LauncherSettings, TemplateIsRefusedWhenItOrTheSettingsAreMissingOrPresent) {
  Instance instance;
  const auto service = instance.service();
  const std::string path = instance.at("rcplauncher.properties");
  {
    LogCapture log;
    EXPECT_FALSE(service.generateRcplauncherPropertiesWithTemplateWorkspace(
        instance.dir / "no-template.properties", std::nullopt));
    EXPECT_TRUE(log.contains("Fail to locate template for rcplauncher.properties"));
    EXPECT_FALSE(existsNoFollow(path));
  }
  {
    writeFile(path, "# hand-made\nrcp.data=/mine\n");
    LogCapture log;
    EXPECT_FALSE(service.generateRcplauncherPropertiesWithTemplateWorkspace(
        dataFile("rcplauncher.template.properties"), "/other"));
    EXPECT_TRUE(log.contains("Fail to copy rcplauncher.properties to " + path + ". "));
    EXPECT_EQ(readFile(path), "# hand-made\nrcp.data=/mine\n");
  }
}

// ---- Provisioning result ----

TEST(ProvisioningResult, OnlyZeroAndTwoSucceed) {
  struct Case {
    std::optional<std::string> file;  // none: no result file
    int expected;
  };
  const Case cases[] = {
      {"rc=0\n", 0},        {"rc=2\n", 0},          {"rc = 2\n", 0},     {"rc=0 done\n", 0},
      {"rc=1\n", -1},       {"rc=3\n", -1},         {"rc=-1\n", -1},     {"rc=12\n", -1},
      {"other=0\n", -1},    {"rc=abc\n", -1},       {"rc=\n", -1},       {"", -1},
      {"rc=99999999999999999999\n", -1},            {std::nullopt, -1},
      {"rc=2a\n", 0},  // decimal: the letter ends the number

  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file.value_or("no result file"));
    Instance instance;
    if (c.file) writeFile(instance.besideRcphome(".provisioning_rc"), *c.file);
    EXPECT_EQ(instance.service().getProvisioningResult(), c.expected);
  }
  EXPECT_EQ(support::InstanceService(std::nullopt).getProvisioningResult(), -1);
}

TEST(ProvisioningResult, RemovalTakesTheResultAwayAndALinkNotItsTarget) {
  Instance instance;
  const auto service = instance.service();
  const std::string result = instance.besideRcphome(".provisioning_rc");

  writeFile(result, "rc=0\n");
  service.removeProvisionRCFile();
  EXPECT_FALSE(existsNoFollow(result));
  EXPECT_EQ(service.getProvisioningResult(), -1) << "a removed result never reads as success";

  const std::string elsewhere = instance.dir / "elsewhere_rc";
  writeFile(elsewhere, "rc=0\n");
  fs::create_symlink(elsewhere, result);
  service.removeProvisionRCFile();
  EXPECT_FALSE(existsNoFollow(result));
  EXPECT_EQ(readFile(elsewhere), "rc=0\n");
}

}  // namespace
