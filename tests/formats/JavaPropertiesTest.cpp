// The properties reader, writer and escapes, read and written through real files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "common/FileHelpers.h"
#include "common/ScopedEnvironment.h"
#include "common/TempDir.h"
#include "installer/formats/JavaProperties.h"
#include "installer/formats/StringUtil.h"
#include "installer/formats/Utf16.h"

namespace {

using testing_support::readWholeFile;

using support::JavaProperties;
using testing_support::writeFile;
using Pairs = std::map<std::string, std::string>;
namespace StringUtil = support::StringUtil;

Pairs pairsOf(const JavaProperties& properties) {
  Pairs pairs;
  for (const std::string& key : properties.allProperties()) {
    pairs[key] = properties.getPropertyForKey(key).value();
  }
  return pairs;
}

Pairs readPairs(const testing_support::TempDir& dir, const std::string& bytes) {
  writeFile(dir / "in.properties", bytes);
  return pairsOf(JavaProperties(dir / "in.properties"));
}

std::string written(const testing_support::TempDir& dir, const Pairs& pairs) {
  JavaProperties properties;
  for (const auto& [key, value] : pairs) EXPECT_TRUE(properties.setPropertyForKey(value, key));
  EXPECT_TRUE(properties.savePropertiesToFile(dir / "out.properties"));
  return readWholeFile(dir / "out.properties");
}

TEST(JavaPropertiesReader, ReadsTheLinesOfTheFile) {
  struct Case {
    const char* name;
    std::string file;
    Pairs expected;
  };
  const Case cases[] = {
      {"comment and blank line", "# comment\n\nrcp.data=/Users/x/workspace\n",
       {{"rcp.data", "/Users/x/workspace"}}},
      {"separators", "a=1\nb = 2\nc:3\nd 4\ne==5\nf\t6", {{"a", "1"}, {"b", "2"}, {"c", "3"},
                                                            {"d", "4"}, {"e", "=5"}, {"f", "6"}}},
      {"separators after the value starts", "a=b=c :d", {{"a", "b=c :d"}}},
      {"line without separator", "nokey", {{"nokey", ""}}},
      {"empty key", "=x\n:y", {{"", "y"}}},
      {"leading white space goes, trailing stays", " \t\fk = v \t\f", {{"k", "v \t\f"}}},
      {"NBSP and NEL are no white space", "\xa0k=v\x85\n", {{"\u00a0k", "v\u0085"}}},
      {"UTF-8 bytes are ISO-8859-1 characters", "k=\xe6\x97\xa0", {{"k", "\u00e6\u0097\u00a0"}}},
      {"line ends", "a=1\r\nb=2\rc=3\n\rd=4", {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}},
      {"continuation", "a=b \\\n   c\n", {{"a", "b c"}}},
      {"continuation without a space", "a=b\\\r\n\t c", {{"a", "bc"}}},
      {"even backslashes continue nothing", "a=b\\\\\nc=d", {{"a", "b\\"}, {"c", "d"}}},
      {"odd backslashes continue", "a=b\\\\\\\nc", {{"a", "b\\c"}}},
      {"comment sign inside a continuation is text", "a=b \\\n# kept\nc",
       {{"a", "b # kept"}, {"c", ""}}},
      {"blank line ends a continuation", "a=b\\\n\nc=d", {{"a", "b"}, {"c", "d"}}},
      {"continuation at the end of the file", "x=1\na=b \\", {{"x", "1"}, {"a", "b "}}},
      {"control escapes", "k=\\t\\n\\r\\fend\\n", {{"k", "\t\n\r\fend\n"}}},
      {"other escapes give the character", "k=\\q\\\"\\z\\#", {{"k", "q\"z#"}}},
      {"escaped separators", "path=C\\:\\\\Temp", {{"path", "C:\\Temp"}}},
      {"escaped separator in a key", "a\\=b=c", {{"a=b", "c"}}},
      {"escaped space in a key", "a\\ b c", {{"a b", "c"}}},
      {"escaped spaces around a value", "k=\\ x\\ ", {{"k", " x "}}},
      {"unicode escapes", "k=caf\\u00e9 \\u4E2D \\ud83d\\ude00", {{"k", "caf\u00e9 \u4e2d \U0001F600"}}},
      {"workspace path", "rcp.data=/Users/j\\u00e9r\\u00f4me/workspace",
       {{"rcp.data", "/Users/j\u00e9r\u00f4me/workspace"}}},
      {"escaped backslash before u", "k=\\\\u0041", {{"k", "\\u0041"}}},
      {"unicode escape cut short stays text", "k=\\u12 \\uzzzz", {{"k", "\\u12 \\uzzzz"}}},
      {"option lines", "-Xmx256m\n-Xfoo bar\n-Dx=1", {{"-Xmx256m", ""}, {"-Xfoo", "bar"},
                                                     {"-Dx", "1"}}},
      {"exclamation mark is no comment", "!x=1", {{"!x", "1"}}},
      {"later key wins", "a=1\na=2", {{"a", "2"}}},
      {"ISO-8859-1 bytes", "caf\xe9=\xfc\xa0x", {{"caf\u00e9", "\u00fc\u00a0x"}}},
  };
  testing_support::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(readPairs(dir, c.file), c.expected);
  }
}

TEST(JavaPropertiesWriter, EscapesForTheFile) {
  struct Case {
    const char* name;
    std::string key;
    std::string value;
    std::string line;
  };
  const Case cases[] = {
      {"plain", "rcp.data", "/Users/x/workspace", "rcp.data=/Users/x/workspace\n"},
      {"spaces", "a b", "a b", "a\\ b=a b\n"},
      {"separators and comment signs", "#k!=:", "=:#!", "\\#k\\!\\=\\:=\\=\\:\\#\\!\n"},
      {"non-ASCII", "k", "\u00e9\u4e2d\u007f", "k=\\u00e9\\u4e2d\\u007f\n"},
      {"outside the BMP", "\U0001F600", "\U0001F600", "\\ud83d\\ude00=\\ud83d\\ude00\n"},
      {"control characters", "k", "\t\n\r", "k=\\u0009\\u000a\\u000d\n"},
      {"backslashes", "a\\b", "x\\y\\", "a\\\\b=x\\\\y\\\\\n"},
      {"backslash before u", "\\u00e9", "\\u00E9", "\\\\u00e9=\\\\u00E9\n"},
      {"line feed at the end", "k", "line\n", "k=line\\u000a\n"},
      {"backslash before u without escape", "k", "C:\\users\\u12", "k=C\\:\\\\users\\\\u12\n"},
      {"leading and trailing spaces", "k", "  in  ", "k=\\  in\\u0020\\u0020\n"},
      {"only spaces", "k", " ", "k=\\u0020\n"},
      {"empty value", "k", "", "k=\n"},
      {"option", "-Xmx256m", "", "-Xmx256m\n"},
      {"option value with a leading space", "-Xfoo", " bar", "-Xfoo=\\ bar\n"},
      {"option value set by a caller", "-Xss", "1m", "-Xss=1m\n"},
      {"empty key not written", "", "x", ""},
  };
  testing_support::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(written(dir, {{c.key, c.value}}), c.line);
  }
}

// What the writer writes, the reader reads back as it was set, and writing that again changes
// nothing.
TEST(JavaPropertiesWriter, RewritingWhatWasReadKeepsTheFile) {
  Pairs callerSet = {
      {"a b", " lead and inside "}, {"k#!", "=x:y#z!"}, {"caf\u00e9", "\U0001F600\t\u00e9\n"},
      {"back\\slash", "C:\\users\\x\\"}, {"\\u0041", "\\u0041"}, {"-Xmx512m", ""},
      {"-Xfoo", " bar"}, {"empty", ""}, {"", "dropped"}};
  testing_support::TempDir dir;
  std::string first = written(dir, callerSet);
  Pairs reread = pairsOf(JavaProperties(dir / "out.properties"));
  callerSet.erase("");
  EXPECT_EQ(reread, callerSet);
  EXPECT_EQ(written(dir, reread), first);
}

// A file read, changed in one key and saved: the other entries come out as Java reads them,
// option lines as they were read.
TEST(JavaPropertiesWriter, SavesWhatWasReadAsJavaReadsIt) {
  const std::pair<std::string, std::string> cases[] = {
      {"-Xmx256m\n-Xss 1m\n-Xfoo\f=\fbar\n", "-Xfoo = bar\n-Xmx256m\n-Xss 1m\n"},
      {"!x=1\n", "\\!x=1\n"},
      {"k=\\\\u0041\n", "k=\\\\u0041\n"},
      {"k=line\\n\n", "k=line\\u000a\n"},
      {"k=value \n", "k=value\\u0020\n"},
      {"k=\xe6\x97\xa0\n", "k=\\u00e6\\u0097\\u00a0\n"},
      {"k=\\ud800\n", "k=\\ud800\n"},
      {"=x\n", ""},
  };
  testing_support::TempDir dir;
  for (const auto& [file, saved] : cases) {
    SCOPED_TRACE(file);
    writeFile(dir / "in.properties", file);
    JavaProperties properties(dir / "in.properties");
    properties.setPropertyForKey("1", "z");
    ASSERT_TRUE(properties.savePropertiesToFile());
    EXPECT_EQ(readWholeFile(dir / "in.properties"), saved + "z=1\n");
  }
}

TEST(JavaPropertiesFile, BindsReadsAndSaves) {
  testing_support::TempDir dir;
  testing_support::ScopedEnvironment home("HOME", dir.str());
  writeFile(dir / "rcp.properties", "a=1\n");

  JavaProperties properties(std::string("~/rcp.properties"));
  EXPECT_EQ(properties.file(), dir / "rcp.properties");
  EXPECT_EQ(properties.getPropertyForKey("a"), "1");
  EXPECT_EQ(properties.getPropertyForKey("b"), std::nullopt);
  EXPECT_TRUE(properties.setPropertyForKey("2", "a"));
  EXPECT_TRUE(properties.setPropertyForKey("3", "b"));
  properties.removePropertyForKey("b");
  properties.removePropertyForKey("never there");
  EXPECT_EQ(properties.propertyNames(), (std::vector<std::string>{"a"}));
  ASSERT_TRUE(properties.savePropertiesToFile());
  EXPECT_EQ(readWholeFile(dir / "rcp.properties"), "a=2\n");

  // Saving elsewhere does not rebind the object.
  ASSERT_TRUE(properties.savePropertiesToFile(std::string("~/copy.properties")));
  EXPECT_EQ(readWholeFile(dir / "copy.properties"), "a=2\n");
  EXPECT_EQ(properties.file(), dir / "rcp.properties");

  JavaProperties missing(dir / "new.properties");
  EXPECT_TRUE(missing.allProperties().empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "new.properties"));
  ASSERT_TRUE(missing.savePropertiesToFile());
  EXPECT_EQ(readWholeFile(dir / "new.properties"), "");

  // An escaped name in the file gives the folder's own UTF-8 name.
  std::filesystem::create_directory(dir / "j\u00e9r\u00f4me");
  writeFile(dir / "ws.properties", "rcp.data=" + dir.str() + "/j\\u00e9r\\u00f4me\n");
  auto workspace = JavaProperties(dir / "ws.properties").getPropertyForKey("rcp.data");
  EXPECT_TRUE(std::filesystem::is_directory(workspace.value_or("")));

  EXPECT_FALSE(JavaProperties().savePropertiesToFile());
  EXPECT_FALSE(JavaProperties(std::nullopt).file().has_value());
}

TEST(JavaPropertiesFile, UnreadablePathsGiveAnEmptySet) {
  testing_support::TempDir dir;
  std::filesystem::create_directory(dir / "folder");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  for (const char* name : {"folder", "fifo"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(JavaProperties(dir / name).allProperties().empty());
  }
}

// A file up to the cap is read; a larger one is refused, and a save leaves it as it was.
TEST(JavaPropertiesFile, SizeCap) {
  testing_support::TempDir dir;
  std::string atCap = "k=" + std::string(support::kJavaPropertiesSizeCap - 2, 'x');
  writeFile(dir / "at.properties", atCap);
  EXPECT_EQ(JavaProperties(dir / "at.properties").getPropertyForKey("k")->size(), atCap.size() - 2);

  writeFile(dir / "over.properties", atCap + "\n");
  JavaProperties over(dir / "over.properties");
  EXPECT_TRUE(over.allProperties().empty());
  over.setPropertyForKey("1", "a");
  EXPECT_FALSE(over.savePropertiesToFile());
  EXPECT_EQ(readWholeFile(dir / "over.properties").size(), atCap.size() + 1);
  EXPECT_TRUE(over.savePropertiesToFile(dir / "elsewhere.properties"));
}

TEST(JavaPropertiesFile, FailedSaveLeavesTheOldFileAndNoTemporary) {
  testing_support::TempDir dir;
  JavaProperties properties;
  properties.setPropertyForKey("1", "a");
  EXPECT_FALSE(properties.savePropertiesToFile(dir / "missing/rcp.properties"));

  // A folder in the way: the rename fails and the folder stays as it was.
  std::filesystem::create_directories(dir / "busy/inside");
  EXPECT_FALSE(properties.savePropertiesToFile(dir / "busy"));
  EXPECT_TRUE(std::filesystem::exists(dir / "busy/inside"));

  // A link at the target is replaced, never written through.
  writeFile(dir / "elsewhere", "untouched\n");
  std::filesystem::create_symlink(dir / "elsewhere", dir / "link.properties");
  ASSERT_TRUE(properties.savePropertiesToFile(dir / "link.properties"));
  EXPECT_EQ(readWholeFile(dir / "elsewhere"), "untouched\n");
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "link.properties"));

  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"busy", "elsewhere", "link.properties"}));
}

TEST(JavaPropertiesFile, MergeSetsTheOtherFileAndSaves) {
  testing_support::TempDir dir;
  writeFile(dir / "instance.ini", "keep=1\nshared=old\n");
  writeFile(dir / "addon.ini", "shared=new\nadded=2\n\n");
  JavaProperties instance(dir / "instance.ini");
  instance.mergeWithJavaProperties(dir / "addon.ini");
  EXPECT_EQ(pairsOf(instance), (Pairs{{"added", "2"}, {"keep", "1"}, {"shared", "new"}}));
  EXPECT_EQ(readWholeFile(dir / "instance.ini"), "added=2\nkeep=1\nshared=new\n");

  writeFile(dir / "instance.ini", "untouched");
  instance.mergeWithJavaProperties(dir / "absent.ini");
  EXPECT_EQ(readWholeFile(dir / "instance.ini"), "untouched");

  JavaProperties unbound;
  unbound.mergeWithJavaProperties(dir / "addon.ini");
  EXPECT_EQ(unbound.getPropertyForKey("added"), "2");

  // Nothing is read through a link on the way: an instance's folder swapped for one.
  std::filesystem::create_directory_symlink(dir.path(), dir / "via");
  EXPECT_EQ(JavaProperties(dir / "via/addon.ini").getPropertyForKey("added"), std::nullopt);
}

TEST(StringUtilEscapes, AddHexDigits) {
  const std::pair<std::uint16_t, const char*> cases[] = {
      {0x00E9, "00e9"}, {0x4E2D, "4e2d"}, {0x000A, "000a"}, {0xFFFF, "ffff"}};
  for (const auto& [unit, digits] : cases) {
    std::string text = "x";
    StringUtil::addHexDigitsToString(unit, text);
    EXPECT_EQ(text, std::string("x") + digits);
  }
}

TEST(StringUtilEscapes, ConvertUnicode2Characters) {
  const std::pair<std::string, std::string> cases[] = {
      {"\\u0041bc", "Abc"},
      {"x\\u004", "x\\u004"},
      {"\\u00G1", "\u0001"},
      {"\\u00e9\\u00E9\\u00FF", "\u00e9\u00e9\u00ff"},
      {"\\ud83d\\ude00!", "\U0001F600!"},
      {"\\ud83d alone", "\ufffd alone"},
      {"\U0001F600\\u0041", "\U0001F600A"},
      {"\\x\\", "\\x\\"},
  };
  for (const auto& [text, decoded] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(StringUtil::convertUnicode2Characters(text), decoded);
  }
}

TEST(StringUtilEscapes, CharAtIndexCountsUtf16CodeUnits) {
  const std::string text = "a\u00e9\U0001F600z";  // units: a, e-acute, two surrogates, z
  const std::pair<std::int32_t, std::optional<std::string>> cases[] = {
      {-1, std::nullopt}, {0, "a"}, {1, "\u00e9"}, {2, "\ufffd"}, {3, "\ufffd"},
      {4, "z"}, {5, std::nullopt}};
  for (const auto& [index, character] : cases) {
    SCOPED_TRACE(index);
    EXPECT_EQ(StringUtil::charAtIndexOfString(index, text), character);
  }
  EXPECT_EQ(StringUtil::charAtIndexOfString(0, ""), std::nullopt);
}

TEST(Utf16, ConvertsBothWays) {
  // The smallest characters of two and of four bytes among them.
  EXPECT_EQ(support::utf16::fromUtf8("a\u0080\u00e9\u4e2d\U00010000\U0001F600"), u"a\u0080\u00e9\u4e2d\U00010000\U0001F600");
  EXPECT_EQ(support::utf16::toUtf8(u"a\u0080\u00e9\u4e2d\U00010000\U0001F600"), "a\u0080\u00e9\u4e2d\U00010000\U0001F600");
  // Invalid bytes, overlong forms and encoded surrogates each give U+FFFD.
  EXPECT_EQ(support::utf16::fromUtf8("\xff" "a\xc0\xaf" "\xed\xa0\x80"),
            u"\ufffd" "a\ufffd\ufffd\ufffd\ufffd\ufffd");
}

}  // namespace
