// Install manifests loaded, rewritten and saved; xmllint is the independent reader of every
// saved file (well-formedness, and canonical form for "nothing else changed").
#include <fcntl.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "common/TempDir.h"
#include "installer/support/InstallManifest.h"
#include "installer/support/StringUtil.h"
#include "installer/support/Utf16.h"
#include "platform/ProgramOutput.h"
#include "platform/SystemLog.h"
#include "platform/UniqueFd.h"

namespace {

using support::InstallManifest;
using testing_support::TempDir;

constexpr const char* kRoot = "file:/Volumes/Pkg";

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  return support::StringUtil::stringByReplacingOccurrencesOfStringTargetWithString(text, from,
                                                                                   to);
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool xmllintAccepts(const std::string& path) {
  return testing_support::runAndCollectOutput({"xmllint", "--noout", path}).exitStatus == 0;
}

// The canonical form (UTF-8, no declaration, blank text between elements dropped) in which
// two documents with the same elements, attributes, texts and comments are equal.
std::string canonical(const std::string& path) {
  testing_support::ProgramOutput lint =
      testing_support::runAndCollectOutput({"xmllint", "--noblanks", "--c14n", path});
  EXPECT_EQ(lint.exitStatus, 0) << path;
  return lint.output;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Collects the system log lines written while it lives.
class LogCapture {
 public:
  explicit LogCapture(const TempDir& dir) : path_(dir / "system.log") {
    fd_.reset(::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    platform::SystemLog::attachFile(fd_.get());
  }
  ~LogCapture() { platform::SystemLog::detachFile(fd_.get()); }
  std::vector<std::string> lines() const { return linesOf(readFile(path_)); }

 private:
  std::string path_;
  platform::UniqueFd fd_;
};

bool isErrorLine(const std::string& line, const std::string& message) {
  const std::string tail = "<Error>: " + message;
  return line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(),
                                                    tail) == 0;
}

// "@R@" marks placeholders on the fixed path (rewritten), "@K@" placeholders off it (kept).
const std::string kManifestTemplate = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE manifest>
<!-- staged by the add-on package -->
<?provisioning mode="update"?>
<manifest xmlns:x="urn:example:notes" version="2">
  <header><title>Add-on &amp; "tools" &lt;1&gt;</title></header>
  <domain-object type="install">
    <!-- first domain object -->
    <object-data>
      <install x:note="kept">
        <installfeature id="com.norq.addon" version="1.2.0">
          <requirements>
            <feature id="f.site" version="1.0" url="@R@/updates/site"/>
            <feature id="f.jar" version="1.1" action="install" url="jar:@R@/a.jar!/"/>
            <feature id="f.twice" version="1.2" url="@R@|@R@?a=1&amp;b=&quot;2&quot;"/>
            <feature id="f.nourl" version="1.3"/>
            <feature id="f.fixed" version="1.4" url="http://example.org/site"/>
            <?feature not an element?>
          </requirements>
          <requirements><feature id="f.second" url="@K@/second"/></requirements>
        </installfeature>
        <other url="@K@/not/a/feature"/>
        <installfeature id="com.norq.other" version="2.0">
          <requirements>
            <feature id="f.other" version="2.1" url="@R@/other"/>
          </requirements>
        </installfeature>
        <installfeature id="no.requirements" version="3.0"/>
      </install>
      <install><installfeature id="second.install"><requirements>
        <feature id="f.hidden" url="@K@/hidden"/></requirements></installfeature></install>
    </object-data>
  </domain-object>
  <domain-object><object-data><install><installfeature id="second.domain"><requirements>
    <feature id="f.hidden2" url="@K@/hidden"/></requirements></installfeature></install>
  </object-data></domain-object>
  <notes><![CDATA[raw <text> & more]]> mixed <b>bold</b> tail &#xE9;</notes>
</manifest>
<!-- after the root -->
)";

std::string xmlEscaped(const std::string& text) {
  return replaceAll(replaceAll(replaceAll(text, "&", "&amp;"), "<", "&lt;"), "\"", "&quot;");
}

std::string manifestWithRoot(const std::string& root) {
  return replaceAll(replaceAll(kManifestTemplate, "@R@", xmlEscaped(root)), "@K@",
                    "${installer.root}");
}

class InstallManifestTest : public testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& bytes) {
    writeFile(dir_ / name, bytes);
    return dir_ / name;
  }
  TempDir dir_;
};

// Everything off the fixed path, and everything but "url" on it, is saved as it was.
TEST_F(InstallManifestTest, RewritesTheRootOnTheFixedPathOnly) {
  const std::vector<std::string> roots = {kRoot, "file:/Volumes/A & <B> \"C\" 'D'",
                                          "file:/Volumes/${installer.root}"};
  for (const std::string& root : roots) {
    SCOPED_TRACE(root);
    std::string source = write("install.xml", manifestWithRoot("${installer.root}"));
    std::string expected = write("expected.xml", manifestWithRoot(root));

    InstallManifest manifest(source);
    ASSERT_TRUE(manifest.replaceInstallerRootWith(root));
    ASSERT_TRUE(manifest.saveInstallManifestAs(dir_ / "saved.xml"));
    EXPECT_TRUE(xmllintAccepts(dir_ / "saved.xml"));
    EXPECT_EQ(canonical(dir_ / "saved.xml"), canonical(expected));
    EXPECT_EQ(readFile(source), manifestWithRoot("${installer.root}"));  // saved elsewhere
  }

  // Declaration and document type stay; one element per line, nested ones indented.
  std::string saved = readFile(dir_ / "saved.xml");
  EXPECT_EQ(saved.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE manifest>", 0),
            0u);
  for (const std::string& line : linesOf(saved)) {
    SCOPED_TRACE(line);
    EXPECT_LE(line.find("<feature"), line.rfind("<feature"));
    if (line.find("<feature ") != std::string::npos) {
      EXPECT_EQ(line.find("<feature "), 12u);
    }
  }
}

TEST_F(InstallManifestTest, MissingStepsAreLoggedAndFail) {
  struct Case {
    const char* name;
    std::string xml;
    const char* message;
  };
  const std::string fullPath =
      "<object-data><install><installfeature id='A' version='1'><requirements>"
      "<feature id='f' version='2' url='${installer.root}/x'/></requirements>"
      "</installfeature></install></object-data>";
  const Case cases[] = {
      {"no domain-object", "<manifest><object-data/></manifest>",
       "Not able to get domain-object element"},
      {"no object-data", "<manifest><domain-object><install/></domain-object></manifest>",
       "Not able to get object-data element"},
      {"no install", "<m><domain-object><object-data><?install?></object-data></domain-object></m>",
       "Not able to get install element"},
      {"no installfeature",
       "<m><domain-object><object-data><install><feature/></install></object-data>"
       "</domain-object></m>",
       "Not able to get install-feature element"},
      {"only the first domain-object is descended",
       "<m><domain-object/><domain-object>" + fullPath + "</domain-object></m>",
       "Not able to get object-data element"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string source = write("install.xml", c.xml);
    InstallManifest manifest(source);
    {
      LogCapture log(dir_);
      EXPECT_FALSE(manifest.replaceInstallerRootWith(kRoot));
      std::vector<std::string> lines = log.lines();
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_TRUE(isErrorLine(lines[0], c.message)) << lines[0];
    }
    EXPECT_EQ(manifest.checkInstalledFeatureFeatureID("A", std::nullopt), "-1");
    EXPECT_EQ(manifest.checkInstalledFeatureFeatureID("A", "f"), "-1");
    ASSERT_TRUE(manifest.saveInstallManifestAs(dir_ / "saved.xml"));
    EXPECT_EQ(canonical(dir_ / "saved.xml"), canonical(source));
  }
}

TEST_F(InstallManifestTest, CheckInstalledFeatureFindsTheFirstInstalledVersion) {
  std::string source = write("install.xml", R"(<manifest>
  <domain-object><object-data><install>
    <installfeature id="A" version="1.0"><requirements>
      <feature id="f.uninstalled" version="0.9" action="uninstall"/>
      <feature id="f.both" version="1.1" action="uninstall"/>
      <feature id="f.both" version="1.2"/>
      <feature id="f.noversion"/>
      <feature id="f.explicit" version="1.3" action="install"/>
      <feature version="9.9"/>
    </requirements></installfeature>
    <installfeature id="B"/>
    <installfeature version="7.0"/>
    <installfeature id="C" version="3.0"><requirements>
      <feature id="f.later" version="3.1"/>
      <feature id="f.explicit" version="3.3"/>
    </requirements></installfeature>
    <installfeature id="C" version="3.9"/>
  </install></object-data></domain-object>
</manifest>)");
  struct Case {
    const char* installFeatureID;
    std::optional<std::string> featureID;
    std::optional<std::string> version;
  };
  const Case cases[] = {
      {"", "f.both", "1.2"},        {"", "f.uninstalled", "-1"},  {"", "f.noversion", std::nullopt},
      {"", "f.explicit", "1.3"},    {"", "f.later", "3.1"},       {"", "f.missing", "-1"},
      {"", "", "-1"},               {"A", "f.missing", "-1"},     {"A", std::nullopt, "1.0"},
      {"C", std::nullopt, "3.0"},   {"B", std::nullopt, std::nullopt},
      {"Z", std::nullopt, "-1"},    {"", std::nullopt, "-1"},
  };
  InstallManifest manifest(source);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.installFeatureID) + " / " + c.featureID.value_or("(none)"));
    EXPECT_EQ(manifest.checkInstalledFeatureFeatureID(c.installFeatureID, c.featureID),
              c.version);
  }
}

// A UTF-8 text in another encoding: one byte per character up to U+00FF, or UTF-16LE.
std::string encoded(const std::string& utf8, const std::string& encoding) {
  std::u16string units = support::utf16::fromUtf8(utf8);
  std::string bytes = encoding == "UTF-16" ? "\xFF\xFE" : "";
  for (char16_t unit : units) {
    bytes += static_cast<char>(unit & 0xFF);
    if (encoding == "UTF-16") bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

TEST_F(InstallManifestTest, SavesInTheDeclaredEncoding) {
  const std::string body =
      "<manifest note=\"caf\u00e9 \u00fc\"><!-- comment \u00e9 --><domain-object><object-data>"
      "<install><installfeature id=\"A\" version=\"1\"><requirements>"
      "<feature id=\"f\" url=\"@R@/site\"/></requirements></installfeature></install>"
      "</object-data></domain-object><text>na\u00efve</text></manifest>\n";
  const std::string asciiBody =
      "<manifest note=\"plain\"><domain-object><object-data><install><installfeature id=\"A\">"
      "<requirements><feature id=\"f\" url=\"@R@/site\"/></requirements></installfeature>"
      "</install></object-data></domain-object></manifest>\n";
  const std::string root = "file:/Volumes/Caf\u00e9 \u4e2d";
  struct Case {
    const char* declaration;
    std::string body;
    std::string encoding;  // of the bytes on disk
    std::string mustHold;  // bytes the saved file holds
    std::string mustNotHold;
  };
  const Case cases[] = {
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n", body, "ISO-8859-1",
       "na\xefve", "\xc3"},
      {"<?xml version='1.0' encoding='latin1'?>\n", body, "ISO-8859-1", "&#x4E2D;", "\xc3"},
      {"<?xml version=\"1.0\" encoding=\"US-ASCII\"?>\n", asciiBody, "US-ASCII",
       "Caf&#xE9; &#x4E2D;", "\xc3"},
      {"", body, "UTF-8", "na\u00efve", "&#x"},
      {"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n", body, "UTF-16",
       std::string("\xFF\xFE<\0", 4), "\xc3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declaration + c.encoding);
    std::string text = c.declaration + replaceAll(c.body, "@R@", "${installer.root}");
    std::string source =
        write("install.xml", c.encoding == "UTF-8" ? text : encoded(text, c.encoding));
    std::string expected = write("expected.xml", replaceAll(c.body, "@R@", root));

    InstallManifest manifest(source);
    ASSERT_TRUE(manifest.replaceInstallerRootWith(root));
    ASSERT_TRUE(manifest.saveInstallManifestAs());
    std::string saved = readFile(source);
    EXPECT_TRUE(xmllintAccepts(source));
    EXPECT_EQ(canonical(source), canonical(expected));
    EXPECT_NE(saved.find(c.mustHold), std::string::npos);
    EXPECT_EQ(saved.find(c.mustNotHold), std::string::npos);
    // The declaration stays (its quotes are the library's); none is made up where none was.
    std::string start = *c.declaration != '\0' ? replaceAll(c.declaration, "'", "\"") : "<manifest";
    if (c.encoding != "UTF-16") {
      EXPECT_EQ(saved.rfind(start, 0), 0u);
    }
  }
}

TEST_F(InstallManifestTest, UnreadableManifestSavesNothing) {
  std::string notXml = write("not.xml", "<manifest><unclosed></manifest>");
  const std::string paths[] = {notXml, dir_ / "missing.xml", dir_.str()};
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    InstallManifest manifest(path);
    LogCapture log(dir_);
    EXPECT_FALSE(manifest.replaceInstallerRootWith(kRoot));
    EXPECT_EQ(manifest.checkInstalledFeatureFeatureID("A", std::nullopt), "-1");
    EXPECT_FALSE(manifest.saveInstallManifestAs());
    EXPECT_FALSE(manifest.saveInstallManifestAs(dir_ / "saved.xml"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "saved.xml"));
    EXPECT_TRUE(log.lines().empty());
  }
  EXPECT_EQ(readFile(notXml), "<manifest><unclosed></manifest>");
}

TEST_F(InstallManifestTest, FailedSaveLeavesTheOldFileAndNoTemporary) {
  std::string source = write("install.xml", manifestWithRoot("${installer.root}"));
  InstallManifest manifest(source);
  ASSERT_TRUE(manifest.replaceInstallerRootWith(kRoot));
  EXPECT_FALSE(manifest.saveInstallManifestAs(dir_ / "missing/install.xml"));
  std::filesystem::create_directories(dir_ / "busy/inside");
  EXPECT_FALSE(manifest.saveInstallManifestAs(dir_ / "busy"));

  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"busy", "install.xml"}));
  EXPECT_EQ(readFile(source), manifestWithRoot("${installer.root}"));
}

}  // namespace
