#include "platform/PropertyListFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "common/FileHelpers.h"
#include "common/ProgramOutput.h"
#include "common/TempDir.h"

namespace {

using namespace platform;
using testing_support::readWholeFile;
using testing_support::runAndCollectOutput;
using testing_support::TempDir;
using testing_support::writeWholeFile;

constexpr double kUnixTimeOf2001 = 978307200;

PlistDate dateOf(int year, int month, int day, int hour, int minute, int second) {
  struct tm fields {};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  return PlistDate{static_cast<double>(::timegm(&fields)) - kUnixTimeOf2001};
}

PlistData allBytes() {
  PlistData bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<std::uint8_t>(i));
  return bytes;
}

// A value with every type, as the Python fixture below writes it.
PlistValue everyType() {
  return PlistDictionary{
      {"text", "a<b & \"c\" ]]> \xC3\xA9 \xE2\x82\xAC \xE0\xA0\x80"},
      {"count", 42},
      {"negative", -7},
      {"ratio", 0.25},
      {"yes", true},
      {"no", false},
      {"when", dateOf(2026, 12, 7, 19, 52, 48)},
      {"bytes", PlistData{0x00, 0x01, 0xFE, 0xFF}},
      {"list", PlistArray{"x", 1, PlistArray{}, PlistDictionary{}}},
      {"nested", PlistDictionary{{"k&<", "v"}}},
  };
}

constexpr const char* kPythonEveryType = R"(
import datetime, plistlib, sys
value = {'text': 'a<b & "c" ]]> \u00e9 \u20ac \u0800', 'count': 42, 'negative': -7, 'ratio': 0.25,
         'yes': True, 'no': False, 'when': datetime.datetime(2026, 12, 7, 19, 52, 48),
         'bytes': b'\x00\x01\xfe\xff', 'list': ['x', 1, [], {}], 'nested': {'k&<': 'v'}}
form = plistlib.FMT_BINARY if sys.argv[2] == 'binary' else plistlib.FMT_XML
with open(sys.argv[1], 'wb') as f:
    plistlib.dump(value, f, fmt=form)
)";

// Prints a property list file as JSON with tagged reals, data and dates, keys sorted.
constexpr const char* kPythonDump = R"(
import datetime, json, plistlib, sys
def canon(v):
    if isinstance(v, bool) or isinstance(v, int) or isinstance(v, str): return v
    if isinstance(v, float): return {'real': repr(v)}
    if isinstance(v, bytes): return {'data': v.hex()}
    if isinstance(v, datetime.datetime): return {'date': v.isoformat()}
    if isinstance(v, list): return [canon(x) for x in v]
    return {k: canon(x) for k, x in v.items()}
with open(sys.argv[1], 'rb') as f:
    print(json.dumps(canon(plistlib.load(f)), sort_keys=True))
)";

TEST(PropertyListFileTest, ReadsTheXmlAndBinaryFormsPythonWrites) {
  TempDir dir;
  for (const char* form : {"xml", "binary"}) {
    SCOPED_TRACE(form);
    const std::string path = dir / (std::string("fixture.") + form);
    ASSERT_EQ(0, runAndCollectOutput({"python3", "-c", kPythonEveryType, path, form}).exitStatus);
    if (std::string(form) == "binary") {
      ASSERT_EQ("bplist00", readWholeFile(path).substr(0, 8));
    }

    EXPECT_EQ(everyType(), PropertyListFile::read(path));
  }
}

TEST(PropertyListFileTest, ReadsTheOlderTextForm) {
  TempDir dir;
  const std::string path = dir / "old.plist";
  writeWholeFile(path, "\xEF\xBB\xBF// settings\n{ name = \"Norq Client\"; versions = (1.0, \"2.0\"); "
                       "blob = <00ff>; }\n");
  const PlistValue expected = PlistDictionary{{"name", "Norq Client"},
                                              {"versions", PlistArray{"1.0", "2.0"}},
                                              {"blob", PlistData{0x00, 0xFF}}};
  EXPECT_EQ(expected, PropertyListFile::read(path));
}

TEST(PropertyListFileTest, EveryTypeRoundTripsThroughXml) {
  const PlistValue values[] = {
      "", "plain", "a<b & c > d ]]> \"'", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "tab\tnew\nline\r",
      "\xE0\xA0\x80\xF0\x90\x80\x80",  // the smallest characters of three and four bytes
      0, -1, INT64_MIN, INT64_MAX, std::uint64_t{1} << 63, UINT64_MAX,
      0.1, -2.5, 1e300, 3.0, -0.0, 5e-324, HUGE_VAL, -HUGE_VAL, std::nan(""),
      true, false,
      PlistDate{0}, PlistDate{-86400.0 * 365}, PlistDate{1e9}, dateOf(2069, 1, 1, 0, 0, 0),
      dateOf(1900, 1, 1, 0, 0, 0), dateOf(1, 1, 1, 0, 0, 0), dateOf(9999, 12, 31, 23, 59, 59),
      PlistData{}, allBytes(),
      PlistArray{}, PlistArray{PlistArray{PlistArray{"deep"}}, 1, "two"},
      PlistDictionary{}, PlistDictionary{{"", "empty key"}, {"<&>", PlistDictionary{}}},
      everyType(),
  };
  for (const PlistValue& value : values) {
    const std::string xml = PropertyListFile::toXml(value);
    SCOPED_TRACE(xml);
    ASSERT_FALSE(xml.empty());
    EXPECT_EQ(value, PropertyListFile::parse(xml));
    // Also nested, as values always are in this system's records.
    const PlistValue wrapped = PlistDictionary{{"key", PlistArray{value}}};
    EXPECT_EQ(wrapped, PropertyListFile::parse(PropertyListFile::toXml(wrapped)));
  }
}

TEST(PropertyListFileTest, WritesThePlatformsXmlForm) {
  const PlistValue value = PlistDictionary{
      {"version", "9.0.1"}, {"list", PlistArray{1, true}}, {"empty", PlistDictionary{}}};
  EXPECT_EQ(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n"
      "<dict>\n"
      "\t<key>empty</key>\n"
      "\t<dict/>\n"
      "\t<key>list</key>\n"
      "\t<array>\n"
      "\t\t<integer>1</integer>\n"
      "\t\t<true/>\n"
      "\t</array>\n"
      "\t<key>version</key>\n"
      "\t<string>9.0.1</string>\n"
      "</dict>\n"
      "</plist>\n",
      PropertyListFile::toXml(value));
}

TEST(PropertyListFileTest, PythonLoadsWhatWeWrite) {
  TempDir dir;
  const std::string path = dir / "written.plist";
  PlistValue value = everyType();
  value.asDictionary()->emplace("big", INT64_MAX);
  value.asDictionary()->emplace("before2001", dateOf(1999, 12, 31, 23, 59, 59));
  value.asDictionary()->emplace("tenth", 0.1);
  ASSERT_FALSE(PropertyListFile::write(path, value));

  const auto dumped = runAndCollectOutput({"python3", "-c", kPythonDump, path});
  ASSERT_EQ(0, dumped.exitStatus);
  EXPECT_EQ(
      "{\"before2001\": {\"date\": \"1999-12-31T23:59:59\"}, \"big\": 9223372036854775807, "
      "\"bytes\": {\"data\": \"0001feff\"}, \"count\": 42, \"list\": [\"x\", 1, [], {}], "
      "\"negative\": -7, \"nested\": {\"k&<\": \"v\"}, \"no\": false, "
      "\"ratio\": {\"real\": \"0.25\"}, \"tenth\": {\"real\": \"0.1\"}, "
      "\"text\": \"a<b & \\\"c\\\" ]]> \\u00e9 \\u20ac \\u0800\", "
      "\"when\": {\"date\": \"2026-12-07T19:52:48\"}, \"yes\": true}\n",
      dumped.output);
}

// Dates are UTC in the file whatever the local time zone is.
TEST(PropertyListFileTest, DatesDoNotDependOnTheTimeZone) {
  const char* saved = std::getenv("TZ");
  const std::string savedZone = saved != nullptr ? saved : "";
  ::setenv("TZ", "EST+5", 1);
  ::tzset();
  const PlistValue date = PlistDate{0};
  const std::string xml = PropertyListFile::toXml(date);
  const auto back = PropertyListFile::parse(xml);
  if (saved != nullptr) {
    ::setenv("TZ", savedZone.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
  EXPECT_NE(std::string::npos, xml.find("<date>2001-01-01T00:00:00Z</date>")) << xml;
  EXPECT_EQ(date, back);
}

TEST(PropertyListFileTest, MalformedInputsAreNoPropertyList) {
  const std::string whole = PropertyListFile::toXml(everyType());
  std::string binary;
  std::string nulInKey;  // libplist 2.2 would abort the process on this one
  std::string longNulKey;
  {
    TempDir dir;
    const std::string path = dir / "fixture.binary";
    ASSERT_EQ(0, runAndCollectOutput({"python3", "-c", kPythonEveryType, path, "binary"}).exitStatus);
    binary = readWholeFile(path);
    ASSERT_EQ(0, runAndCollectOutput({"python3", "-c",
                                      "import plistlib, sys; open(sys.argv[1], 'wb').write("
                                      "plistlib.dumps({'\\u00e9\\x00': 'v'}, "
                                      "fmt=plistlib.FMT_BINARY))",
                                      path})
                     .exitStatus);
    nulInKey = readWholeFile(path);
    // A long key that ends in NUL: the check must reach the end of strings that fill most of the file.
    ASSERT_EQ(0, runAndCollectOutput({"python3", "-c",
                                      "import plistlib, sys; open(sys.argv[1], 'wb').write("
                                      "plistlib.dumps({'\\u00e9' + 'a' * 200 + '\\x00': 'v'}, fmt=plistlib.FMT_BINARY))",
                                      path})
                     .exitStatus);
    longNulKey = readWholeFile(path);
  }
  const std::string inputs[] = {
      "",
      "  \n",
      "bplist00",
      "bplist00 not really binary at all, just text after the magic",
      binary.substr(0, binary.size() / 2),
      binary.substr(0, binary.size() - 10),
      nulInKey,
      longNulKey,
      whole.substr(0, whole.size() / 2),
      whole.substr(0, whole.size() - 9),  // cut right before "</plist>"
      "<plist version=\"1.0\"><dict/></plist> trailing",
      "<plist version=\"1.0\"><unknown/></plist>",
      "<?xml version=\"1.0\"?>",
      "just some words",
  };
  for (const std::string& input : inputs) {
    SCOPED_TRACE(input);
    EXPECT_EQ(std::nullopt, PropertyListFile::parse(input));
  }
}

void appendBigEndian(std::string& out, uint64_t value, int size) {
  for (int shift = 8 * (size - 1); shift >= 0; shift -= 8) out += static_cast<char>(value >> shift);
}

// The objects in the binary form, in this order, followed by their offset table and the trailer
// (4-byte offsets and references).
std::string binaryOfObjects(const std::vector<std::string>& objects, uint64_t top = 0) {
  std::string bytes = "bplist00";
  std::vector<uint64_t> offsets;
  for (const std::string& object : objects) {
    offsets.push_back(bytes.size());
    bytes += object;
  }
  const uint64_t table = bytes.size();
  for (uint64_t offset : offsets) appendBigEndian(bytes, offset, 4);
  bytes += std::string(6, '\0') + "\x04\x04";
  appendBigEndian(bytes, offsets.size(), 8);
  appendBigEndian(bytes, top, 8);
  appendBigEndian(bytes, table, 8);
  return bytes;
}

// An array or dictionary: its marker (with its size), then 4-byte references.
std::string containerOf(std::string object, const std::vector<uint32_t>& references) {
  for (uint32_t reference : references) appendBigEndian(object, reference, 4);
  return object;
}

// n arrays (or dictionaries under the key "k"), each holding the next, in the binary form.
std::string nestedArraysInBinary(uint32_t n, bool dictionaries = false) {
  std::vector<std::string> objects;
  for (uint32_t i = 0; i < n; ++i) {
    objects.push_back(dictionaries ? containerOf("\xD1", {n + 1, i + 1})  // the key, shared by every level
                                   : containerOf("\xA1", {i + 1}));
  }
  objects.push_back(dictionaries ? "\xD0" : "\xA0");
  if (dictionaries) objects.push_back("\x51k");
  return binaryOfObjects(objects);
}

std::string nestedArraysInXml(int n) {
  std::string xml = "<plist version=\"1.0\">";
  for (int i = 0; i < n; ++i) xml += "<array>";
  for (int i = 0; i < n; ++i) xml += "</array>";
  return xml + "</plist>";
}

// Arrays only, object 0 on top: object i holds the objects children[i].
std::string arraysInBinary(const std::vector<std::vector<uint32_t>>& children) {
  std::vector<std::string> objects;
  for (const auto& refs : children) {
    std::string marker(1, static_cast<char>(0xA0 | std::min<std::size_t>(refs.size(), 15)));
    if (refs.size() >= 15) {
      marker += '\x11';
      appendBigEndian(marker, refs.size(), 2);
    }
    objects.push_back(containerOf(marker, refs));
  }
  return binaryOfObjects(objects);
}

PlistValue nestedArrays(int n) {
  PlistValue value = PlistArray{};
  for (int i = 1; i < n; ++i) value = PlistArray{value};
  return value;
}

// libplist 2.2 recurses once per level when it reads the binary form and when it frees a
// tree: a deep enough file would overflow the stack, so deep files are refused before.
TEST(PropertyListFileTest, RefusesNestingDeeperThanTheRecordsNeed) {
  // The XML parser's own limit: 256 elements below the root.
  EXPECT_EQ(nestedArrays(256), PropertyListFile::parse(nestedArraysInXml(256)));
  EXPECT_EQ(std::nullopt, PropertyListFile::parse(nestedArraysInXml(257)));
  EXPECT_EQ(nestedArrays(101), PropertyListFile::parse(nestedArraysInBinary(100)));
  // The binary form's limit, which libplist's recursion needs: 513 levels, not one more.
  EXPECT_EQ(nestedArrays(513), PropertyListFile::parse(nestedArraysInBinary(512)));
  EXPECT_TRUE(PropertyListFile::parse(nestedArraysInBinary(512, true)));
  EXPECT_EQ(std::nullopt, PropertyListFile::parse(nestedArraysInBinary(513)));
  EXPECT_EQ(std::nullopt, PropertyListFile::parse(nestedArraysInBinary(513, true)));
  for (int depth : {600, 300000}) {
    SCOPED_TRACE(depth);
    EXPECT_EQ(std::nullopt, PropertyListFile::parse(nestedArraysInXml(depth)));
    EXPECT_EQ(std::nullopt, PropertyListFile::parse(nestedArraysInBinary(depth)));
    EXPECT_EQ(std::nullopt, PropertyListFile::parse(nestedArraysInBinary(depth, true)));
  }
  EXPECT_EQ("", PropertyListFile::toXml(nestedArrays(600)));

  // Two chains of 500, the second ending in the first, both held by the top array in that order:
  // the walk never holds more than 501 on its path (the chain below is done), yet libplist
  // would recurse 1001 levels deep.
  constexpr uint32_t kChains = 2, kLength = 500;
  std::vector<std::vector<uint32_t>> children(1 + kChains * kLength);
  for (uint32_t chain = 0; chain < kChains; ++chain) {
    const uint32_t first = 1 + chain * kLength;
    children[0].push_back(first);
    for (uint32_t i = 0; i + 1 < kLength; ++i) children[first + i] = {first + i + 1};
    if (chain > 0) children[first + kLength - 1] = {first - kLength};
  }
  EXPECT_EQ(std::nullopt, PropertyListFile::parse(arraysInBinary(children)));
  children[0].resize(1);  // the first chain alone: 501 levels
  EXPECT_TRUE(PropertyListFile::parse(arraysInBinary(children)));
}

std::string xmlOf(const std::string& body) { return "<plist version=\"1.0\">" + body + "</plist>"; }

// `levels` arrays, each referring twice to the next, above the leaf: 2^levels uses of the leaf.
std::string doublingArrays(uint32_t levels, const std::string& leaf = "\xA0") {
  std::vector<std::string> objects;
  for (uint32_t i = 0; i < levels; ++i) objects.push_back(containerOf("\xA2", {i + 1, i + 1}));
  objects.push_back(leaf);
  return binaryOfObjects(objects);
}

std::string asciiObject(std::size_t length) {
  std::string object = "\x5F\x11";
  appendBigEndian(object, length, 2);
  return object + std::string(length, 'x');
}

std::string repeated(const std::string& text, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += text;
  return out;
}

// Every form is measured as it would be built, a shared object once per use, and refused past
// 16 MiB (64 per value plus its text): 262144 values fill it exactly.
TEST(PropertyListFileTest, RefusesDocumentsThatExpandPastTheLimit) {
  // Each 9 bytes in the file, 40 levels stand for 2^41 - 1 values: refused before libplist.
  EXPECT_EQ(std::nullopt, PropertyListFile::parse(doublingArrays(40)));
  EXPECT_EQ(std::nullopt, PropertyListFile::parse(doublingArrays(18)));
  const auto widest = PropertyListFile::parse(doublingArrays(17));  // 2^18 - 1 values
  ASSERT_TRUE(widest);
  EXPECT_EQ(2u, widest->asArray()->size());
  // 1023 arrays and 1024 uses of a text: its length counts at every use.
  EXPECT_TRUE(PropertyListFile::parse(doublingArrays(10, asciiObject(16256))));
  EXPECT_EQ(std::nullopt, PropertyListFile::parse(doublingArrays(10, asciiObject(16257))));
  // The forms that share nothing are counted as they are read.
  EXPECT_TRUE(PropertyListFile::parse(xmlOf("<array>" + repeated("<true/>", 262143) + "</array>")));
  EXPECT_EQ(std::nullopt,
            PropertyListFile::parse(xmlOf("<array>" + repeated("<true/>", 262144) + "</array>")));
  EXPECT_TRUE(PropertyListFile::parse(xmlOf("<dict><key>" + std::string(16777024, 'k') +
                                            "</key><true/></dict>")));
  EXPECT_EQ(std::nullopt, PropertyListFile::parse(xmlOf("<dict><key>" + std::string(16777025, 'k') +
                                                        "</key><true/></dict>")));
  EXPECT_TRUE(PropertyListFile::parse("(" + repeated("a,", 258110) + ")"));
  EXPECT_EQ(std::nullopt, PropertyListFile::parse("(" + repeated("a,", 258111) + ")"));
}

// Values XML cannot hold are refused rather than written as a file no reader accepts.
TEST(PropertyListFileTest, RefusesValuesTheXmlFormCannotCarry) {
  TempDir dir;
  const std::string path = dir / "record.plist";
  writeWholeFile(path, "old");
  const PlistValue values[] = {
      std::string("nul\0inside", 10),
      "control \x01 character",
      "invalid \xFF UTF-8",
      "cut \xE2\x82",
      "encoded surrogate \xED\xA0\x80",
      PlistDictionary{{"key \x02", "v"}},
      PlistDate{1e12},
      PlistArray{PlistDate{-1e12}},
      PlistDate{0.5},  // XML dates carry whole seconds
      "lone surrogate \xED\xB0\x80",
  };
  for (const PlistValue& value : values) {
    EXPECT_EQ("", PropertyListFile::toXml(value));
    EXPECT_EQ(std::errc::invalid_argument, PropertyListFile::write(path, value));
  }
  EXPECT_EQ("old", readWholeFile(path));
  EXPECT_EQ(std::vector<std::string>{"record.plist"}, testing_support::folderEntries(dir.str()));
}

// Root programs read records in folders ordinary users can write: a link there must not make
// them read another file. The Mac library, reading the user's own files as the user, may follow.
TEST(PropertyListFileTest, ReadsOnlyRegularFilesOfOneLink) {
  TempDir dir;
  ASSERT_FALSE(PropertyListFile::write(dir / "record.plist", PlistDictionary{{"k", "v"}}));
  ASSERT_EQ(0, ::mkfifo((dir / "fifo").c_str(), 0644));
  ASSERT_EQ(0, ::mkdir((dir / "folder").c_str(), 0755));
  ASSERT_EQ(0, ::symlink("record.plist", (dir / "symlink").c_str()));
  writeWholeFile(dir / "big.plist", "<plist><string>" +
                                        std::string(PropertyListFile::kMaxFileBytes, 'x') +
                                        "</string></plist>");
  for (const char* name : {"missing", "fifo", "folder", "symlink", "big.plist"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(std::nullopt, PropertyListFile::read(dir / name));
  }
  EXPECT_TRUE(PropertyListFile::read(dir / "record.plist"));
  EXPECT_TRUE(PropertyListFile::read(dir / "symlink", PropertyListFile::Links::Follow));
  // An instance's records: no link on the way to them either.
  ASSERT_EQ(0, ::symlink(".", (dir / "here").c_str()));
  EXPECT_TRUE(PropertyListFile::read(dir / "here/record.plist", PropertyListFile::Links::Refuse));
  EXPECT_EQ(std::nullopt, PropertyListFile::read(dir / "here/record.plist", PropertyListFile::Links::RefuseOnThePath));
  EXPECT_TRUE(PropertyListFile::read(dir / "record.plist", PropertyListFile::Links::RefuseOnThePath));
  ASSERT_EQ(0, ::link((dir / "record.plist").c_str(), (dir / "hardlink").c_str()));
  EXPECT_EQ(std::nullopt, PropertyListFile::read(dir / "record.plist"));
  EXPECT_TRUE(PropertyListFile::read(dir / "hardlink", PropertyListFile::Links::Follow));
}

// One object in the binary form, as the whole file.
std::string binaryOf(const std::string& object) {
  std::string bytes = "bplist00" + object;
  bytes += static_cast<char>(8);  // offset table: the object at 8
  const std::string trailer = std::string(6, '\0') + "\x01\x01" + std::string(7, '\0') + "\x01" +
                              std::string(8, '\0') + std::string(7, '\0') +
                              static_cast<char>(8 + object.size());
  return bytes + trailer;
}

// A dictionary of one entry, its key and its value given as whole objects; the key first in
// the file when keyFirst, the dictionary (on top) first otherwise.
std::string oneEntryDictionary(const std::string& key, const std::string& value, bool keyFirst = false) {
  if (keyFirst) return binaryOfObjects({key, containerOf("\xD1", {0, 2}), value}, 1);
  return binaryOfObjects({containerOf("\xD1", {1, 2}), key, value});
}

std::string bigEndianDouble(double value) {
  std::string bytes;
  const auto bits = std::bit_cast<std::uint64_t>(value);
  for (int shift = 56; shift >= 0; shift -= 8) bytes += static_cast<char>(bits >> shift);
  return bytes;
}


// Values as other readers of property lists read them, or refused; never something else.
TEST(PropertyListFileTest, ReadsWhatOtherReadersRead) {
  using namespace std::string_literals;
  const std::string utf16 = "\xFF\xFE<\0p\0l\0i\0s\0t\0>\0<\0s\0t\0r\0i\0n\0g\0>\0\xAC\x20<\0/\0"
                            "s\0t\0r\0i\0n\0g\0>\0<\0/\0p\0l\0i\0s\0t\0>\0"s;
  const struct {
    std::string input;
    std::optional<PlistValue> expected;
  } rows[] = {
      {xmlOf("<integer>18446744073709551615</integer>"), PlistValue(UINT64_MAX)},
      {xmlOf("<integer>9223372036854775852</integer>"), PlistValue(std::uint64_t{9223372036854775852u})},
      {xmlOf("<integer>-9223372036854775808</integer>"), PlistValue(INT64_MIN)},
      {xmlOf("<integer>18446744073709551616</integer>"), std::nullopt},
      {xmlOf("<integer>-9223372036854775809</integer>"), std::nullopt},
      {xmlOf("<integer>0123</integer>"), PlistValue(123)},
      {xmlOf("<integer> 5 </integer>"), PlistValue(5)},
      {xmlOf("<integer>0x1F</integer>"), PlistValue(31)},
      {xmlOf("<integer></integer>"), std::nullopt},
      {xmlOf("<real>-0.0</real>"), PlistValue(-0.0)},
      {xmlOf("<real>0x1p3</real>"), std::nullopt},
      {xmlOf("<date>1900-01-01T00:00:00Z</date>"), PlistValue(dateOf(1900, 1, 1, 0, 0, 0))},
      {xmlOf("<date>2001-02-29T00:00:00Z</date>"), std::nullopt},
      {xmlOf("<date>2001-01-01T00:00:00:00Z</date>"), std::nullopt},
      {xmlOf("<string>a\r\nb\rc&#13;</string>"), PlistValue("a\nb\nc\r")},
      {utf16, PlistValue("\xE2\x82\xAC")},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + xmlOf("<string>\xE9</string>"),
       PlistValue("\xC3\xA9")},
      {xmlOf("<dict/>") + "\n<!-- kept by hand -->\n<?editor x?>\n", PlistValue(PlistDictionary{})},
      {xmlOf("<dict/>") + "text", std::nullopt},
      {"<!DOCTYPE plist [<!ENTITY e \"x\">]>" + xmlOf("<string>&e;</string>"), std::nullopt},
      {"<!DOCTYPE plist [<!ENTITY e \"x\">]>" + xmlOf("<string>y</string>"), std::nullopt},
      {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>" + xmlOf("<string>x</string>"), std::nullopt},
      {xmlOf("<real> 1.5 </real>"), PlistValue(1.5)},
      {xmlOf("<string>a<?pi x?>b<!-- c --></string>"), PlistValue("ab")},
      {binaryOf("\x14" + std::string(8, '\0') + "\x80" + std::string(6, '\0') + "\x2C"),
       PlistValue(std::uint64_t{9223372036854775852u})},
      {binaryOf("\x14" + std::string(15, '\xFF') + "\xFE"), std::nullopt},
      {binaryOf("\x13" + std::string(8, '\xFF')), PlistValue(-1)},
      {binaryOf(std::string("\x53" "a\0b", 4)), PlistValue(std::string("a\0b", 3))},
      {binaryOf("\x61\xD8\x00"), std::nullopt},  // a lone surrogate
      {binaryOf("\x52\xC3\xA9"), std::nullopt},  // no ASCII
      {binaryOf("\x33" + bigEndianDouble(1e10)), PlistValue(PlistDate{1e10})},
      {binaryOf("\x33" + bigEndianDouble(1e20)), std::nullopt},
      {binaryOf("\x23" + bigEndianDouble(-0.0)), PlistValue(-0.0)},
      {binaryOf("\x21\x3C\x00"), std::nullopt},  // a 2-byte real
      {binaryOf("\x81\x00\x05"), std::nullopt},  // a keyed-archive UID
      {arraysInBinary({{1}}), std::nullopt},  // a reference one past the last object
      {oneEntryDictionary("\x51k", "\x51v", true), PlistValue(PlistDictionary{{"k", "v"}})},
      {oneEntryDictionary(std::string("\x62\0k\0\0", 5), "\x51v", true), std::nullopt},  // NUL in a key
      {oneEntryDictionary("\x61\xD8\x00", "\x51v"), std::nullopt},  // a lone surrogate as a key
      {oneEntryDictionary("\x51k", "\x14" + std::string(15, '\xFF') + "\xFE"), std::nullopt},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.input);
    EXPECT_EQ(row.expected, PropertyListFile::parse(row.input));
  }
}

}  // namespace
