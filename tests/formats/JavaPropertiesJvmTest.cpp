// Java itself loads what JavaProperties writes, and what Java stores survives being read and
// written back by JavaProperties.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "common/ProgramOutput.h"
#include "common/TempDir.h"
#include "installer/formats/JavaProperties.h"
#include "installer/formats/Utf16.h"

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

// The peer's listing of many files, by the path it was given; a file Java refused is none.
using Listing = std::map<std::string, std::optional<TextPairs>>;

std::u16string unhex(const std::string& digits) {
  std::u16string text;
  for (std::size_t i = 0; i + 4 <= digits.size(); i += 4) {
    text.push_back(static_cast<char16_t>(std::stoul(digits.substr(i, 4), nullptr, 16)));
  }
  return text;
}

Listing javaReads(const std::vector<std::string>& files, const std::string& listPath) {
  {
    std::ofstream list(listPath, std::ios::binary);
    for (const std::string& file : files) list << file << '\n';
  }
  testing_support::ProgramOutput peer = runPeer({"dumplist", listPath});
  EXPECT_EQ(peer.exitStatus, 0);
  Listing listing;
  TextPairs* current = nullptr;
  std::istringstream lines(peer.output);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("file ", 0) == 0) {
      current = &listing[line.substr(5)].emplace();
    } else if (line.rfind("refused ", 0) == 0) {
      listing[line.substr(8)] = std::nullopt;
      current = nullptr;
    } else if (current != nullptr) {
      std::size_t space = line.find(' ');
      (*current)[unhex(line.substr(0, space))] = unhex(line.substr(space + 1));
    }
  }
  return listing;
}

TextPairs ourReading(const JavaProperties& properties) {
  TextPairs pairs;
  for (const std::string& key : properties.allProperties()) {
    pairs[support::utf16::fromUtf8(key)] =
        support::utf16::fromUtf8(properties.getPropertyForKey(key).value_or(""));
  }
  return pairs;
}

// Keys on which two readings differ: a value differs, or one side lacks the key.
std::set<std::u16string> differingKeys(const TextPairs& expected, const TextPairs& actual) {
  std::set<std::u16string> keys;
  for (const auto& [key, value] : expected) {
    auto found = actual.find(key);
    if (found == actual.end() || found->second != value) keys.insert(key);
  }
  for (const auto& entry : actual) {
    if (!expected.count(entry.first)) keys.insert(entry.first);
  }
  return keys;
}

std::vector<std::string> jdkPropertiesFiles() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(RCP_JDK_PROPERTIES)) {
    if (entry.is_regular_file() && entry.path().extension() == ".properties") {
      files.push_back(entry.path().string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

struct CorpusCounts {
  std::size_t files = 0, entries = 0, refused = 0;
  std::size_t readDifferently = 0, filesReadDifferently = 0;
  std::size_t changedByRewrite = 0, filesChangedByRewrite = 0;
};

// Only the first disagreements are spelt out; the counts say how many there were.
void reportDisagreement(std::size_t& reported, const std::string& what, const std::string& file,
                        const std::u16string& key) {
  if (++reported <= 40) {
    ADD_FAILURE() << what << ": " << file << ": entry \"" << support::utf16::toUtf8(key) << "\"";
  }
}

// The properties files of the JDK runtime image, which nobody here wrote: our reader must read
// each entry as java.util.Properties does, and after one key is set and the file saved, Java
// must read every other entry as before. Two JVM runs cover the whole corpus.
TEST(JavaPropertiesPeer, JdkCorpusReadAndRewrittenAsJavaReadsIt) {
  const std::string kSetKey = "corpus.check.key";
  const std::vector<std::string> originals = jdkPropertiesFiles();
  ASSERT_GE(originals.size(), 100u) << "the JDK runtime image gave too few files";
  testing_support::TempDir dir;
  const Listing before = javaReads(originals, dir / "originals.list");

  CorpusCounts counts;
  std::size_t reported = 0;
  std::vector<std::string> rewritten;
  std::map<std::string, std::string> originalOf;
  for (const std::string& file : originals) {
    ++counts.files;
    const std::optional<TextPairs>& java = before.at(file);
    if (!java) {
      ++counts.refused;
      continue;
    }
    counts.entries += java->size();
    JavaProperties ours(file);
    std::set<std::u16string> differing = differingKeys(*java, ourReading(ours));
    counts.readDifferently += differing.size();
    counts.filesReadDifferently += differing.empty() ? 0 : 1;
    for (const auto& key : differing) reportDisagreement(reported, "read differently", file, key);

    ours.setPropertyForKey("set by the corpus check", kSetKey);
    rewritten.push_back(dir / (std::to_string(rewritten.size()) + ".properties"));
    originalOf[rewritten.back()] = file;
    ASSERT_TRUE(ours.savePropertiesToFile(rewritten.back()));
  }

  const Listing after = javaReads(rewritten, dir / "rewritten.list");
  for (const std::string& file : rewritten) {
    const std::string& original = originalOf.at(file);
    TextPairs expected = *before.at(original);
    expected[u"corpus.check.key"] = u"set by the corpus check";
    std::set<std::u16string> differing =
        after.at(file) ? differingKeys(expected, *after.at(file)) : std::set<std::u16string>{};
    if (!after.at(file)) differing.insert(u"(Java refuses the rewritten file)");
    counts.changedByRewrite += differing.size();
    counts.filesChangedByRewrite += differing.empty() ? 0 : 1;
    for (const auto& key : differing) reportDisagreement(reported, "changed by a rewrite", original, key);
  }

  std::cout << "JDK properties corpus: " << counts.files << " files (" << counts.refused
            << " refused by Java), " << counts.entries << " entries; read differently: "
            << counts.readDifferently << " entries in " << counts.filesReadDifferently
            << " files; changed for Java by a rewrite: " << counts.changedByRewrite
            << " entries in " << counts.filesChangedByRewrite << " files\n";
}

}  // namespace
