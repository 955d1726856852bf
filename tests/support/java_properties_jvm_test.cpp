// Java itself loads what JavaProperties writes, and what Java stores survives being read and
// written back by JavaProperties.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "common/TempDir.h"
#include "installer/support/JavaProperties.h"
#include "installer/support/Utf16.h"
#include "platform/ProgramOutput.h"

namespace {

using support::JavaProperties;
using TextPairs = std::map<std::u16string, std::u16string>;

// The peer's form of a text: each UTF-16 code unit as four hexadecimal digits.
std::string hex(const std::u16string& text) {
  std::string out;
  for (char16_t unit : text) {
    char digits[5];
    std::snprintf(digits, sizeof digits, "%04x", static_cast<unsigned>(unit));
    out += digits;
  }
  return out;
}

std::string peerListing(const std::string& fileName, const TextPairs& pairs) {
  std::string listing = "file " + fileName + "\n";
  for (const auto& [key, value] : pairs) listing += hex(key) + " " + hex(value) + "\n";
  return listing;
}

testing_support::ProgramOutput runPeer(std::vector<std::string> arguments) {
  std::vector<std::string> argv = {RCP_JAVA_LAUNCHER, "-cp",
                                   RCP_JAVA_PEER_CLASSES, "JavaPropertiesPeer"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return testing_support::runAndCollectOutput(argv);
}

void save(const TextPairs& pairs, const std::string& path) {
  JavaProperties properties;
  for (const auto& [key, value] : pairs) {
    properties.setPropertyForKey(support::utf16::toUtf8(value), support::utf16::toUtf8(key));
  }
  ASSERT_TRUE(properties.savePropertiesToFile(path));
}

// Texts a caller may set, each one a way to break the format.
const std::vector<std::u16string> kTexts = {
    u"plain",
    u"with space",
    u" leading space",
    u"trailing space  ",
    u"   ",
    u"a=b",
    u"a:b",
    u"=starts with equals",
    u":starts with colon",
    u"#hash",
    u"!bang",
    u"tab\there",
    u"\tleading tab",
    u"new\nline and\rreturn\fform feed",
    u"back\\slash",
    u"C:\\users\\new",
    u"\\u12 cut short",
    u"\\uzzzz",
    u"ends with backslash\\",
    u"ends with space and backslash \\",
    u"\\\\double",
    u"caf\u00e9 \u00fc\u00a0\u0085",
    u"\u4e2d\u6587",
    u"\U0001F600 outside the BMP",
    u"\u007f\u0001",
    u"-Xlike an option",
};

TEST(JavaPropertiesPeer, JavaLoadsWhatWeWrite) {
  testing_support::TempDir dir;
  TextPairs asKeys, asValues, empties;
  for (std::size_t i = 0; i < kTexts.size(); ++i) {
    std::u16string number = support::utf16::fromUtf8(std::to_string(i));
    asKeys[kTexts[i]] = u"value " + number;
    asValues[u"key." + number] = kTexts[i];
  }
  empties = {{u"empty", u""}, {u"-Xmx512m", u""}};
  const std::vector<std::pair<std::string, TextPairs>> files = {
      {"keys.properties", asKeys}, {"values.properties", asValues},
      {"empties.properties", empties}, {"none.properties", {}}};

  std::vector<std::string> arguments = {"dump"};
  std::string expected;
  for (const auto& [name, pairs] : files) {
    save(pairs, dir / name);
    arguments.push_back(dir / name);
    expected += peerListing(name, pairs);
  }
  testing_support::ProgramOutput peer = runPeer(arguments);
  ASSERT_EQ(peer.exitStatus, 0);
  EXPECT_EQ(peer.output, expected);
}

// A file Java stored goes through the read-set-write cycle that the installer runs on the
// launcher settings: Java must still find every pair it stored, and the new one.
TEST(JavaPropertiesPeer, JavaStoredFileSurvivesOurRewrite) {
  const TextPairs stored = {
      {u"rcp.data", u"/Users/j\u00f6rg/workspace"},
      {u"with space", u" leading space"},
      {u"a=b:c", u"#hash !bang =equals :colon"},
      {u"caf\u00e9", u"\u4e2d\U0001F600"},
      {u"back\\slash", u"C:\\users\\new\\"},
      {u"empty", u""},
  };
  testing_support::TempDir dir;
  {
    std::ofstream pairs(dir / "pairs.txt", std::ios::binary);
    for (const auto& [key, value] : stored) pairs << hex(key) << ' ' << hex(value) << '\n';
  }
  ASSERT_EQ(runPeer({"store", dir / "pairs.txt", dir / "rcplauncher.properties"}).exitStatus, 0);

  JavaProperties settings(dir / "rcplauncher.properties");
  settings.setPropertyForKey("20240101.120000", "provisioning.manifest.version");
  ASSERT_TRUE(settings.savePropertiesToFile());

  TextPairs expected = stored;
  expected[u"provisioning.manifest.version"] = u"20240101.120000";
  testing_support::ProgramOutput peer = runPeer({"dump", dir / "rcplauncher.properties"});
  ASSERT_EQ(peer.exitStatus, 0);
  EXPECT_EQ(peer.output, peerListing("rcplauncher.properties", expected));
}

}  // namespace
