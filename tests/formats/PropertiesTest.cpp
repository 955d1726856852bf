// The property-list store against real files, with Python's plistlib as an independent reader
// and writer of the XML and binary forms.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/FileHelpers.h"
#include "common/PrivateNamespace.h"
#include "common/TempDir.h"
#include "installer/formats/Properties.h"

namespace {

using testing_support::readWholeFile;

namespace fs = std::filesystem;
using platform::PlistValue;
using support::Properties;

void writeText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Python prints the file as plistlib reads it (sorted keys, repr of the values).
std::string readWithPython(const fs::path& path) {
  return testing_support::runProgram(
             {"/usr/bin/python3", "-c",
              "import plistlib,sys\n"
              "d=plistlib.load(open(sys.argv[1],'rb'))\n"
              "print(type(d).__name__, sorted(d.items()))",
              path.string()})
      .output;
}

void writeWithPython(const fs::path& path, const std::string& format) {
  ASSERT_EQ(testing_support::runProgram(
                {"/usr/bin/python3", "-c",
                 "import plistlib,sys\n"
                 "plistlib.dump({'version':'3.0','n':7},open(sys.argv[1],'wb'),"
                 "fmt=getattr(plistlib,sys.argv[2]))",
                 path.string(), format})
                .status,
            0);
}

TEST(PropertiesTest, MissingFileGivesAnInertObjectThatCreatesNothing) {
  testing_support::TempDir dir;
  const std::string missing = dir / "missing.plist";
  Properties properties(missing);

  EXPECT_FALSE(properties.file());
  EXPECT_FALSE(properties.getPropertyForKey("version"));
  EXPECT_FALSE(properties.setPropertyForKey(PlistValue("1.0"), "version"));
  properties.removePropertyForKey("version");
  EXPECT_FALSE(properties.savePropertiesToFile(missing));
  EXPECT_FALSE(properties.savePropertiesToFile());
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_FALSE(Properties(std::nullopt).dictionary());
}

TEST(PropertiesTest, SavesAnXmlPropertyListThatReadsBack) {
  testing_support::TempDir dir;
  const std::string path = dir / "installInfo.plist";
  Properties created;
  ASSERT_TRUE(created.setPropertyForKey(PlistValue("3.0.1"), "version"));
  ASSERT_TRUE(created.savePropertiesToFile(path));
  EXPECT_FALSE(created.file()) << "saving elsewhere does not bind the object to the file";

  const std::string xml = readWholeFile(path);
  EXPECT_EQ(xml.rfind("<?xml", 0), 0u) << xml;
  EXPECT_NE(xml.find("<!DOCTYPE plist"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<key>version</key>"), std::string::npos) << xml;
  EXPECT_EQ(readWithPython(path), "dict [('version', '3.0.1')]\n");

  Properties reopened(path);
  EXPECT_EQ(reopened.file(), path);
  EXPECT_EQ(reopened.getPropertyForKey("version"), PlistValue("3.0.1"));
}

TEST(PropertiesTest, ReadsXmlBinaryAndOldTextForms) {
  testing_support::TempDir dir;
  writeWithPython(dir / "xml.plist", "FMT_XML");
  writeWithPython(dir / "binary.plist", "FMT_BINARY");
  writeText(dir / "text.plist", "{ version = \"3.0\"; n = 7; }");
  for (const char* name : {"xml.plist", "binary.plist", "text.plist"}) {
    SCOPED_TRACE(name);
    Properties properties(dir / name);
    EXPECT_EQ(properties.getPropertyForKey("version"), PlistValue("3.0"));
  }
}

TEST(PropertiesTest, FileThatIsNoDictionaryIsInertButKeepsItsPath) {
  testing_support::TempDir dir;
  for (const std::string contents :
       {"not a property list", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>",
        ""}) {
    SCOPED_TRACE(contents);
    const std::string path = dir / "odd.plist";
    writeText(path, contents);
    Properties properties(path);
    EXPECT_EQ(properties.file(), path);
    EXPECT_FALSE(properties.setPropertyForKey(PlistValue("1"), "version"));
    EXPECT_FALSE(properties.savePropertiesToFile());
    EXPECT_EQ(readWholeFile(path), contents);
  }
}

TEST(PropertiesTest, ChangesAndAllValueTypesSurviveASave) {
  testing_support::TempDir dir;
  const std::string path = dir / "values.plist";
  Properties created;
  const platform::PlistDictionary nested{{"inner", PlistValue(true)}};
  created.setPropertyForKey(PlistValue(std::int64_t{42}), "integer");
  created.setPropertyForKey(PlistValue(platform::PlistArray{PlistValue("a"), PlistValue(1.5)}), "array");
  created.setPropertyForKey(PlistValue(nested), "dictionary");
  created.setPropertyForKey(PlistValue(platform::PlistData{0, 1, 255}), "data");
  created.setPropertyForKey(PlistValue("gone"), "removedByNone");
  created.setPropertyForKey(PlistValue("gone"), "removed");
  EXPECT_TRUE(created.setPropertyForKey(std::nullopt, "removedByNone"));
  created.removePropertyForKey("removed");
  EXPECT_FALSE(created.setPropertyForKey(PlistValue("x"), std::nullopt));
  ASSERT_TRUE(created.savePropertiesToFile(path));

  Properties reopened(path);
  EXPECT_EQ(reopened.dictionary(), created.dictionary());
  EXPECT_FALSE(reopened.getPropertyForKey("removedByNone"));
  EXPECT_FALSE(reopened.getPropertyForKey(std::nullopt));

  // Saving with no path writes back to the opened file.
  reopened.removeAllProperties();
  ASSERT_TRUE(reopened.savePropertiesToFile());
  EXPECT_EQ(readWithPython(path), "dict []\n");
}

TEST(PropertiesTest, SaveResultReportsWhetherTheFileWasWritten) {
  testing_support::TempDir dir;
  Properties unbound;
  unbound.setPropertyForKey(PlistValue("1"), "version");
  EXPECT_TRUE(unbound.savePropertiesToFile()) << "no target: nothing to write";
  EXPECT_TRUE(fs::is_empty(dir.path()));
  EXPECT_FALSE(unbound.savePropertiesToFile(dir / "no-such-folder/x.plist"));
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(PropertiesTest, ReplacesALinkAtTheTargetInsteadOfWritingThroughIt) {
  testing_support::TempDir dir;
  writeText(dir / "victim", "keep me");
  fs::create_symlink(dir / "victim", dir / "record.plist");
  Properties properties;
  properties.setPropertyForKey(PlistValue("1"), "version");
  ASSERT_TRUE(properties.savePropertiesToFile(dir / "record.plist"));
  EXPECT_EQ(readWholeFile(dir / "victim"), "keep me");
  EXPECT_FALSE(fs::is_symlink(dir / "record.plist"));
}

TEST(PropertiesTest, ExpandsTildeToTheHomeFolder) {
  testing_support::TempDir dir;
  const char* savedHome = std::getenv("HOME");
  const std::string restore = savedHome ? savedHome : "";
  ::setenv("HOME", dir.str().c_str(), 1);

  Properties created;
  created.setPropertyForKey(PlistValue("de"), "AppleLocale");
  const bool saved = created.savePropertiesToFile("~/prefs.plist");
  Properties reopened("~/prefs.plist");

  if (savedHome) ::setenv("HOME", restore.c_str(), 1); else ::unsetenv("HOME");
  EXPECT_TRUE(saved);
  EXPECT_TRUE(fs::exists(dir / "prefs.plist"));
  EXPECT_EQ(reopened.file(), dir / "prefs.plist");
  EXPECT_EQ(reopened.getPropertyForKey("AppleLocale"), PlistValue("de"));
}

}  // namespace
