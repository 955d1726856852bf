// Property lists made by Python's plistlib (tests/platform/plist_corpus.py), every value type
// and edge value, XML and binary, plus hand-made and damaged files: our reader must read what
// plistlib reads, or refuse the file; what we write back must read in plistlib as the same
// value, or the write must fail and leave the file untouched.
#include <gtest/gtest.h>

#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "common/FileHelpers.h"
#include "common/ProgramOutput.h"
#include "common/TempDir.h"
#include "platform/PropertyListFile.h"

namespace {

using namespace platform;
using testing_support::readWholeFile;
using testing_support::runAndCollectOutput;
using testing_support::TempDir;
using testing_support::writeWholeFile;

const std::string kScript = RCP_SOURCE_DIR "/tests/platform/plist_corpus.py";
constexpr const char* kUntouched = "untouched\n";

std::string percentEncoded(std::string_view raw) {
  std::string out;
  for (unsigned char c : raw) {
    if (c >= 0x21 && c <= 0x7E && c != '%' && c != '/') {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

// The value one entry a line, in the form plist_corpus.py's flatten() writes.
void flatten(const PlistValue& value, const std::string& path, std::string& out) {
  char buffer[64];
  out += path + "\t";
  switch (value.type()) {
    case PlistValue::Type::String:
      out += "s:" + percentEncoded(*value.asString()) + "\n";
      return;
    case PlistValue::Type::Integer:
      out += "i:" + std::to_string(*value.asInteger()) + "\n";
      return;
    case PlistValue::Type::UnsignedInteger:
      out += "i:" + std::to_string(*value.asUnsignedInteger()) + "\n";
      return;
    case PlistValue::Type::Real:
      std::snprintf(buffer, sizeof buffer, "r:%016" PRIx64 "\n",
                    std::bit_cast<std::uint64_t>(*value.asReal()));
      out += buffer;
      return;
    case PlistValue::Type::Boolean:
      out += *value.asBoolean() ? "b:true\n" : "b:false\n";
      return;
    case PlistValue::Type::Date:
      out += "d:" + std::to_string(std::llround(value.asDate()->secondsSince2001 * 1e6)) + "\n";
      return;
    case PlistValue::Type::Data:
      out += "x:";
      for (std::uint8_t byte : *value.asData()) {
        std::snprintf(buffer, sizeof buffer, "%02x", byte);
        out += buffer;
      }
      out += "\n";
      return;
    case PlistValue::Type::Array: {
      const PlistArray& array = *value.asArray();
      out += "a:" + std::to_string(array.size()) + "\n";
      for (size_t i = 0; i < array.size(); ++i) flatten(array[i], path + "/" + std::to_string(i), out);
      return;
    }
    case PlistValue::Type::Dictionary: {
      const PlistDictionary& dictionary = *value.asDictionary();
      out += "k:" + std::to_string(dictionary.size()) + "\n";
      for (const auto& [key, item] : dictionary) flatten(item, path + "/" + percentEncoded(key), out);
      return;
    }
  }
}

struct Expectation {
  bool mayRefuse = false;
  bool xmlRoundTrip = false;
  std::string entries;  // "INVALID", "UNREPRESENTABLE" or the flattened value
};

Expectation expectationIn(const std::string& path) {
  std::istringstream lines(readWholeFile(path));
  Expectation expected;
  for (std::string line; std::getline(lines, line);) {
    if (line == "# may-refuse") {
      expected.mayRefuse = true;
    } else if (line == "# xml-roundtrip") {
      expected.xmlRoundTrip = true;
    } else {
      expected.entries += line + "\n";
    }
  }
  return expected;
}

// The first entry where two flattened values differ.
std::string firstDifference(const std::string& ours, const std::string& theirs) {
  std::istringstream a(ours), b(theirs);
  std::string lineA, lineB;
  for (;;) {
    const bool moreA = static_cast<bool>(std::getline(a, lineA));
    const bool moreB = static_cast<bool>(std::getline(b, lineB));
    if (!moreA && !moreB) return "";
    if (!moreA || !moreB || lineA != lineB) {
      return "ours \"" + (moreA ? lineA : "<end>") + "\", plistlib \"" + (moreB ? lineB : "<end>") + "\"";
    }
  }
}

std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

struct Counts {
  int files = 0, readSame = 0, refusedInvalid = 0, refusedUnrepresentable = 0, refusedByChoice = 0;
  int written = 0, writtenSame = 0, writeRefused = 0;
};

TEST(PropertyListCorpusTest, ReadsAndWritesWhatPlistlibReads) {
  TempDir dir;
  ASSERT_EQ(0, runAndCollectOutput({"python3", kScript, "generate", dir.str()}).exitStatus);
  std::filesystem::create_directories(dir / "written");
  Counts counts;
  std::map<std::string, std::string> ourReads;
  for (const std::string& name : namesIn(dir / "cases")) {
    ++counts.files;
    const Expectation expected = expectationIn(dir / ("expected/" + name));
    const auto value = PropertyListFile::read(dir / ("cases/" + name));
    std::string ours;
    if (value) flatten(*value, "", ours);
    if (expected.entries == "INVALID\n" || expected.entries == "UNREPRESENTABLE\n") {
      EXPECT_FALSE(value) << name << ": plistlib gives " << expected.entries << "we read\n" << ours;
      (expected.entries == "INVALID\n" ? counts.refusedInvalid : counts.refusedUnrepresentable) +=
          value ? 0 : 1;
      continue;
    }
    if (!value) {
      EXPECT_TRUE(expected.mayRefuse) << name << ": refused, plistlib reads it";
      counts.refusedByChoice += expected.mayRefuse ? 1 : 0;
      continue;
    }
    const std::string difference = firstDifference(ours, expected.entries);
    EXPECT_EQ("", difference) << name << " read";
    if (!difference.empty()) continue;
    ++counts.readSame;
    const std::string written = dir / ("written/" + name);
    writeWholeFile(written, kUntouched);
    if (PropertyListFile::write(written, *value)) {
      EXPECT_FALSE(expected.xmlRoundTrip) << name << ": write refused, plistlib writes it";
      EXPECT_EQ(kUntouched, readWholeFile(written)) << name << ": refused write changed the file";
      std::filesystem::remove(written);
      ++counts.writeRefused;
      continue;
    }
    ++counts.written;
    ourReads[name] = ours;
  }
  ASSERT_EQ(0, runAndCollectOutput({"python3", kScript, "reread", dir.str()}).exitStatus);
  for (const auto& [name, ours] : ourReads) {
    const std::string difference = firstDifference(ours, readWholeFile(dir / ("reread/" + name)));
    EXPECT_EQ("", difference) << name << " written back";
    if (difference.empty()) ++counts.writtenSame;
  }
  std::cout << "plistlib corpus: " << counts.files << " files; read as plistlib reads "
            << counts.readSame << ", refused as invalid " << counts.refusedInvalid
            << ", refused as unrepresentable " << counts.refusedUnrepresentable
            << ", refused by choice " << counts.refusedByChoice << "; written back "
            << counts.written << " (read back the same " << counts.writtenSame
            << "), write refused with the file untouched " << counts.writeRefused << "\n";
}

}  // namespace
