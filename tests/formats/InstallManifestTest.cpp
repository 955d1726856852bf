// Install manifests loaded, rewritten and saved; xmllint is the independent reader of every
// saved file (well-formedness, and canonical form for "nothing else changed").
#include <fcntl.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <libxml/globals.h>
#include <libxml/parser.h>

#include "common/FileHelpers.h"
#include "common/ProgramOutput.h"
#include "common/TempDir.h"
#include "installer/formats/InstallManifest.h"
#include "installer/formats/StringUtil.h"
#include "platform/SystemLog.h"
#include "platform/UniqueFd.h"
#include "formats/IconvText.h"

namespace {

using testing_support::readWholeFile;

using support::InstallManifest;
using testing_support::TempDir;
using testing_support::writeFile;

constexpr const char* kRoot = "file:/Volumes/Pkg";

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  return support::StringUtil::stringByReplacingOccurrencesOfStringTargetWithString(text, from,
                                                                                   to);
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
  std::vector<std::string> lines() const { return linesOf(readWholeFile(path_)); }

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
    EXPECT_EQ(readWholeFile(source), manifestWithRoot("${installer.root}"));  // saved elsewhere
  }

  // Declaration and document type stay; one element per line, nested ones indented.
  std::string saved = readWholeFile(dir_ / "saved.xml");
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
  // A default namespace changes no name; a prefix makes another one.
  std::string source = write("install.xml", R"(<manifest xmlns="urn:m" xmlns:p="urn:p">
  <domain-object><object-data><install>
    <installfeature id="A" version="1.0"><requirements>
      <p:feature id="f.prefixed" version="5.0"/>
      <feature p:id="f.attribute" version="5.1"/>
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
      {"Z", std::nullopt, "-1"},    {"", std::nullopt, "-1"},     {"", "f.prefixed", "-1"},
      {"", "f.attribute", "-1"},
  };
  InstallManifest manifest(source);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.installFeatureID) + " / " + c.featureID.value_or("(none)"));
    EXPECT_EQ(manifest.checkInstalledFeatureFeatureID(c.installFeatureID, c.featureID),
              c.version);
  }
}

// Each charset holds the characters of its text; the root brings one it cannot hold, which is
// saved as a character reference. The saved file keeps the file's charset and declaration.
TEST_F(InstallManifestTest, SavesInTheDeclaredEncoding) {
  const std::string body =
      "<manifest note=\"@T@\"><!-- comment @T@ --><domain-object><object-data>"
      "<install><installfeature id=\"A\" version=\"1\"><requirements>"
      "<feature id=\"f\" url=\"@R@/site\"/></requirements></installfeature></install>"
      "</object-data></domain-object><text>@T@ &amp; &#xE9;</text></manifest>\n";
  struct Case {
    const char* encoding;  // declared; none for a file without declaration
    const char* text;      // characters the charset holds
    const char* foreign;   // a character it does not hold, and its reference
    const char* reference;
    const char* byteOrderMark = "";
  };
  const Case cases[] = {
      {"ISO-8859-1", "caf\u00e9 \u00fc", "\u4e2d", "&#20013;"},
      {"windows-1252", "\u20ac caf\u00e9", "\u4e2d", "&#20013;"},
      {"ISO-8859-15", "\u20ac \u0153uvre", "\u4e2d", "&#20013;"},
      {"windows-1250", "\u0159e\u0161en\u00ed", "\u4e2d", "&#20013;"},
      {"Big5", "\u4e2d\u6587", "\u0e01", "&#3585;"},
      {"GB2312", "\u4e2d\u6587", "\u0e01", "&#3585;"},
      {"Shift_JIS", "\u65e5\u672c\u8a9e", "\u0e01", "&#3585;"},
      {"TIS-620", "\u0e44\u0e17\u0e22", "\u4e2d", "&#20013;"},
      {"US-ASCII", "plain", "\u00e9", "&#233;"},
      {"UTF-16", "caf\u00e9 \u4e2d", "", ""},
      {"UTF-16BE", "caf\u00e9 \u4e2d", "", "", "\xFE\xFF"},
      {nullptr, "caf\u00e9 \u4e2d", "", "", "\xEF\xBB\xBF"},
      {nullptr, "caf\u00e9 \u4e2d", "", ""},
  };
  for (const Case& c : cases) {
    const std::string charset = c.encoding != nullptr ? c.encoding : "UTF-8";
    SCOPED_TRACE(charset + " " + c.byteOrderMark);
    const std::string declaration =
        c.encoding != nullptr ? "<?xml version=\"1.0\" encoding=\"" + charset + "\"?>\n" : "";
    const std::string text = declaration + replaceAll(body, "@T@", c.text);
    const std::string root = std::string("file:/Volumes/") + c.text + c.foreign;
    std::optional<std::string> bytes =
        testing_support::iconvFromUtf8(replaceAll(text, "@R@", "${installer.root}"),
                                       charset.c_str());
    ASSERT_TRUE(bytes);
    std::string source = write("install.xml", c.byteOrderMark + *bytes);
    std::string expected = write("expected.xml", replaceAll(replaceAll(
        replaceAll(body, "@T@", c.text), "@R@", root), "\n", ""));

    InstallManifest manifest(source);
    ASSERT_TRUE(manifest.replaceInstallerRootWith(root));
    ASSERT_TRUE(manifest.saveInstallManifestAs());
    std::string saved = readWholeFile(source);
    EXPECT_TRUE(xmllintAccepts(source));
    EXPECT_EQ(canonical(source), canonical(expected));
    EXPECT_EQ(saved.rfind(c.byteOrderMark, 0), 0u);
    const std::string unmarked = charset == "UTF-16" ? "UTF-16LE" : charset;
    EXPECT_NE(saved.find(*testing_support::iconvFromUtf8(c.text, unmarked.c_str())),
              std::string::npos);
    EXPECT_NE(saved.find(c.reference), std::string::npos);
    if (c.encoding == nullptr) {
      EXPECT_EQ(saved.find("<?xml"), std::string::npos) << "none is made up";
    } else if (charset.rfind("UTF-16", 0) != 0) {
      EXPECT_EQ(saved.rfind(declaration, 0), 0u);
    }
  }
}

// Entity references, the document type with its internal subset, preserved space, CDATA next
// to text, mixed content and carriage returns are saved as the parser read them; only blank text
// between elements is re-indented.
TEST_F(InstallManifestTest, KeepsWhatTheParserRead) {
  const std::string dtd = "<!DOCTYPE manifest [\n<!ENTITY site \"http://example.org\">\n"
                          "<!ATTLIST feature action CDATA \"uninstall\">\n]>\n";
  const std::string path =
      "<domain-object><object-data><install><installfeature id=\"A\" version=\"&site;\">"
      "<requirements>\n<feature id=\"f\" version=\"1.0\" url=\"&site;/x\"/>\n"
      "<feature id=\"g\" url=\"&site;/${installer.root}\"/></requirements></installfeature>"
      "</install></object-data></domain-object>";
  const std::string kept[] = {
      dtd,
      "<feature id=\"f\" version=\"1.0\" url=\"&site;/x\"/>",
      "<feature id=\"g\" url=\"http://example.org/file:/Volumes/Pkg\"/>",
      "<t>&site; &amp; <![CDATA[ <raw> ]]> tail</t>",
      "<p xml:space=\"preserve\">\n <a/>\t<b> </b>\n</p>",
      "<q xml:space=\"preserve\"><a/><b/></q>",
      "<m>text <b>bold</b>\n  <c>\n    <d/>\n  </c>\n</m>",
      "<cr v=\"a&#13;&#10;b&#9;\">a&#13;\nb</cr>",
      "<blank>   </blank>",
  };
  std::string body;
  for (std::size_t i = 3; i < std::size(kept); ++i) body += "\n   " + kept[i];
  std::string source = write("install.xml", dtd + "<manifest>" + path + body + "\n</manifest>\n");

  InstallManifest manifest(source);
  ASSERT_TRUE(manifest.replaceInstallerRootWith(kRoot));
  EXPECT_EQ(manifest.checkInstalledFeatureFeatureID("A", std::nullopt), "http://example.org");
  EXPECT_EQ(manifest.checkInstalledFeatureFeatureID("", "f"), "1.0")
      << "a default the document type declares is no attribute of the element";
  ASSERT_TRUE(manifest.saveInstallManifestAs(dir_ / "saved.xml"));
  std::string saved = readWholeFile(dir_ / "saved.xml");
  for (const std::string& text : kept) {
    EXPECT_NE(saved.find(text), std::string::npos) << text << "\nnot in\n" << saved;
  }
  EXPECT_NE(saved.find("\n  <domain-object>\n    <object-data>\n"), std::string::npos) << saved;
}

// The saver hands over what it holds when its buffer fills, so for some lengths nothing is left
// for its last flush: every length around that buffer's size saves the document as it was.
TEST(ManifestDocumentTest, SavesDocumentsOfEveryLengthAroundTheSaversBuffer) {
  for (std::size_t length = 3950; length < 4050; ++length) {
    const std::string bytes =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a>" + std::string(length, 'x') + "</a>\n";
    const auto document = support::manifest_document::parse(bytes);
    ASSERT_TRUE(document);
    EXPECT_EQ(support::manifest_document::serialize(*document), bytes) << length;
  }
}

// Nesting up to the limit loads and saves; deeper nesting loads nothing, in bounded time and
// memory. So do entity references that would make the attribute values grow beyond the file.
TEST_F(InstallManifestTest, RefusesDeepNestingAndGrowingEntities) {
  auto nested = [](std::size_t depth) {
    std::string open, close;
    for (std::size_t i = 0; i < depth; ++i) {
      open += "<a>";
      close += "</a>";
    }
    return open + close;
  };
  // Each "f" stands for 10 MB of text: 100 times an entity of 100 kB.
  auto expanding = [](std::size_t elements) {
    std::string uses;
    for (std::size_t i = 0; i < 100; ++i) uses += "&k;";
    std::string document = "<!DOCTYPE m [<!ENTITY k \"" + std::string(100000, 'x') + "\">]><m>";
    for (std::size_t i = 0; i < elements; ++i) document += "<f url=\"" + uses + "\"/>";
    return document + "</m>";
  };
  EXPECT_TRUE(InstallManifest(write("ok.xml", nested(256))).saveInstallManifestAs());
  EXPECT_TRUE(xmllintAccepts(dir_ / "ok.xml"));
  EXPECT_TRUE(InstallManifest(write("ok.xml", expanding(6))).saveInstallManifestAs());
  for (std::size_t depth : {257, 20000, 100000}) {
    SCOPED_TRACE(depth);
    EXPECT_FALSE(InstallManifest(write("deep.xml", nested(depth))).saveInstallManifestAs());
  }
  EXPECT_FALSE(InstallManifest(write("deep.xml", "<m><x><y/></x>" + nested(300) + "</m>"))
                   .saveInstallManifestAs())
      << "the deep branch comes after a shallow one";
  EXPECT_FALSE(InstallManifest(write("wide.xml", expanding(7))).saveInstallManifestAs());
  // Exactly 64 MiB of attribute text loads; one character more does not.
  auto mebibytes = [](const std::string& extra) {
    std::string uses;
    for (int i = 0; i < 64; ++i) uses += "&k;";
    return "<!DOCTYPE m [<!ENTITY k \"" + std::string(1 << 20, 'x') + "\">]><m><f url=\"" + uses +
           extra + "\"/></m>";
  };
  EXPECT_TRUE(InstallManifest(write("edge.xml", mebibytes(""))).saveInstallManifestAs());
  EXPECT_FALSE(InstallManifest(write("edge.xml", mebibytes("y"))).saveInstallManifestAs());
  // 70 MB through an entity made of references to another, from a file large enough that the
  // XML parser itself lets it through: measured expanded, not as written.
  std::string nestedEntities = "<!DOCTYPE m [<!ENTITY a \"" + std::string(10000, 'x') +
                               "\"><!ENTITY b \"";
  for (int i = 0; i < 100; ++i) nestedEntities += "&a;";
  nestedEntities += "\">]><m><p>" + std::string(9000000, 'p') + "</p>";
  for (int i = 0; i < 70; ++i) nestedEntities += "<f url=\"&b;\"/>";
  EXPECT_FALSE(InstallManifest(write("wide.xml", nestedEntities + "</m>")).saveInstallManifestAs());
}

// Files that are no well-formed XML or refer to files outside, a missing file and a folder.
// Handlers the process had before a manifest is read: they count what reaches them.
int processHandlerCalls = 0;
void countGenericError(void*, const char*, ...) { ++processHandlerCalls; }
void countStructuredError(void*, xmlErrorPtr) { ++processHandlerCalls; }
xmlParserInputPtr countEntityLoad(const char*, const char*, xmlParserCtxtPtr) {
  ++processHandlerCalls;
  return nullptr;
}

TEST_F(InstallManifestTest, UnreadableManifestSavesNothing) {
  const std::string path = "<domain-object><object-data><install><installfeature id=\"A\"/>"
                           "</install></object-data></domain-object>";
  const std::string notWellFormed[] = {
      "<manifest><unclosed></manifest>",
      "<manifest>" + path + "</manifest><manifest/>",
      "<manifest a=\"1\" a=\"2\">" + path + "</manifest>",
      "<manifest>&undefined;" + path + "</manifest>",
      "<!DOCTYPE manifest [<!ENTITY a \"x\">]><manifest>&b;" + path + "</manifest>",
      "<manifest note=\"a & b\">" + path + "</manifest>",
      "<manifest note=\"a < b\">" + path + "</manifest>",
      "<manifest>\x01" + path + "</manifest>",
      "<manifest>&#1;" + path + "</manifest>",
      "<manifest>]]>" + path + "</manifest>",
      "<manifest><!-- a -- b -->" + path + "</manifest>",
      "<manifest>" + path + "</manifest>text",
      "<manifest>" + path + "</manifest><?xml version=\"1.0\"?>",
      "<manifest>caf\xE9" + path + "</manifest>",
      "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><manifest>\x82" + path + "</manifest>",
      "<!DOCTYPE m [<!ENTITY a \"&b;\"><!ENTITY b \"&a;\">]><m>&a;" + path + "</m>",
      "<!DOCTYPE m [<!ENTITY e SYSTEM \"/etc/hostname\">]><m a=\"&e;\">" + path + "</m>",
      "",
  };
  // Well-formed, but naming files outside the manifest, which the root-run launcher might read.
  const std::string refersOutside[] = {
      "<!DOCTYPE m [<!ENTITY x SYSTEM \"file:///etc/shadow\">]><m>&x;" + path + "</m>",
      "<!DOCTYPE m [<!ENTITY x SYSTEM \"file:///etc/shadow\">]><m>" + path + "</m>",
      "<!DOCTYPE m [<!ENTITY x PUBLIC \"-//x//EN\" \"http://example.org/x\">]><m>" + path + "</m>",
      "<!DOCTYPE m [<!NOTATION n SYSTEM \"n\"><!ENTITY x SYSTEM \"x.bin\" NDATA n>]><m>" + path + "</m>",
      "<!DOCTYPE m [<!ENTITY % p SYSTEM \"file:///etc/shadow\"> %p;]><m>" + path + "</m>",
      "<!DOCTYPE m SYSTEM \"file:///etc/m.dtd\"><m>" + path + "</m>",
      "<!DOCTYPE m PUBLIC \"-//x//EN\" \"http://example.org/m.dtd\"><m>" + path + "</m>",
  };
  std::vector<std::string> paths = {dir_ / "missing.xml", dir_.str()};
  for (std::size_t i = 0; i < std::size(notWellFormed); ++i) {
    paths.push_back(write("bad" + std::to_string(i) + ".xml", notWellFormed[i]));
    EXPECT_FALSE(xmllintAccepts(paths.back())) << notWellFormed[i];
  }
  for (std::size_t i = 0; i < std::size(refersOutside); ++i) {
    paths.push_back(write("outside" + std::to_string(i) + ".xml", refersOutside[i]));
  }
  // No error or entity reaches the process's own handlers, which are in place again after.
  const xmlGenericErrorFunc genericBefore = xmlGenericError;
  const xmlStructuredErrorFunc structuredBefore = xmlStructuredError;
  const xmlExternalEntityLoader loaderBefore = xmlGetExternalEntityLoader();
  xmlSetGenericErrorFunc(nullptr, countGenericError);
  xmlSetStructuredErrorFunc(nullptr, countStructuredError);
  xmlSetExternalEntityLoader(countEntityLoad);
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
  EXPECT_EQ(processHandlerCalls, 0);
  EXPECT_EQ(xmlGenericError, countGenericError);
  EXPECT_EQ(xmlStructuredError, countStructuredError);
  EXPECT_EQ(xmlGetExternalEntityLoader(), countEntityLoad);
  xmlSetGenericErrorFunc(nullptr, genericBefore);
  xmlSetStructuredErrorFunc(nullptr, structuredBefore);
  xmlSetExternalEntityLoader(loaderBefore);
  EXPECT_EQ(readWholeFile(dir_ / "bad0.xml"), notWellFormed[0]);
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
  EXPECT_EQ(readWholeFile(source), manifestWithRoot("${installer.root}"));

  // libxml2 reads UTF-7 but cannot read back what it writes in it: that save is refused too.
  const std::string utf7 =
      replaceAll(manifestWithRoot("${installer.root}"), "encoding=\"UTF-8\"", "encoding=\"UTF-7\"");
  std::string seven = write("seven.xml", utf7);
  InstallManifest sevenManifest(seven);
  ASSERT_TRUE(sevenManifest.replaceInstallerRootWith(kRoot));
  EXPECT_FALSE(sevenManifest.saveInstallManifestAs(seven));
  EXPECT_EQ(readWholeFile(seven), utf7);
}

}  // namespace
