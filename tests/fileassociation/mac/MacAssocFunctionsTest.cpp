// The plain functions of libmacassoc (called through the shared library) and the units behind
// the natives that a JVM run cannot reach: status codes, the bundle path bound, failed writes.
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <optional>
#include <string>

#include "common/FileHelpers.h"
#include "common/SoftLimit.h"
#include "common/TempDir.h"
#include "fileassociation/mac/LaunchServices.h"
#include "fileassociation/mac/MacAssocConstants.h"
#include "fileassociation/mac/MacAssocFunctions.h"
#include "fileassociation/mac/TypeIdentifiers.h"

namespace {

using testing_support::readWholeFile;

namespace fs = std::filesystem;
using macassoc::FileUrl;
using platform::PlistArray;
using platform::PlistDictionary;
using platform::PlistValue;

constexpr const char* kInfoXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
    "<key>CFBundleIdentifier</key><string>com.norq.ostra.Pelora</string></dict></plist>\n";

void writeAll(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

class MacAssocFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* home = std::getenv("HOME")) savedHome_ = home;
    ::setenv("HOME", (dir_ / "home").c_str(), 1);
  }
  void TearDown() override {
    if (savedHome_) {
      ::setenv("HOME", savedHome_->c_str(), 1);
    } else {
      ::unsetenv("HOME");
    }
  }

  // A bundle at the path with the given Info.plist text.
  static std::string makeBundle(const std::string& bundle, const std::string& info = kInfoXml) {
    writeAll(bundle + "/Contents/Info.plist", info);
    return bundle;
  }

  testing_support::TempDir dir_;
  std::optional<std::string> savedHome_;
};

TEST_F(MacAssocFunctions, GetUrlResolvesAnExistingInfoPlistOfABundlePathUpTo1003Bytes) {
  FileUrl url("");
  std::string bundle = makeBundle(dir_ / "Ok.app");
  EXPECT_EQ(getURL(bundle.c_str(), &url), macassoc::noErr);
  EXPECT_EQ(url.path(), bundle + "/Contents/Info.plist");

  fs::create_directories(dir_ / "NoInfo.app/Contents");
  EXPECT_EQ(getURL((dir_ / "NoInfo.app").c_str(), &url), macassoc::fnfErr);
  writeAll(dir_ / "plain-file", "x");
  EXPECT_EQ(getURL((dir_ / "plain-file/Inner.app").c_str(), &url), macassoc::dirNFErr);
  EXPECT_EQ(getURL(nullptr, &url), macassoc::kNoUrlStatus);

  // Bundle paths of exactly 1003 and 1004 bytes, both existing.
  std::string base = dir_.str();
  while (base.size() + 201 < macassoc::kMaxBundlePathBytes) base += "/" + std::string(200, 'd');
  std::string longest = base + "/" + std::string(macassoc::kMaxBundlePathBytes - base.size() - 1, 'b');
  ASSERT_EQ(longest.size(), 1003u);
  makeBundle(longest);
  makeBundle(longest + "x");
  EXPECT_EQ(getURL(longest.c_str(), &url), macassoc::noErr);
  EXPECT_EQ(url.path(), longest + "/Contents/Info.plist");
  EXPECT_EQ(getURL((longest + "x").c_str(), &url), macassoc::kNoUrlStatus);
}

TEST_F(MacAssocFunctions, ReadAndWriteReportFailuresAndEditALinkedInfoPlistWhereItLies) {
  PlistValue plist;
  FileUrl garbage(dir_ / "Garbage.plist");
  writeAll(garbage.path(), "not a property list {");
  EXPECT_EQ(readInfoFile(&garbage, &plist), macassoc::coreFoundationUnknownErr);
  FileUrl folder(dir_.str());
  EXPECT_EQ(readInfoFile(&folder, &plist), macassoc::coreFoundationUnknownErr);
  EXPECT_EQ(readInfoFile(nullptr, &plist), macassoc::paramErr);

  // An Info.plist that is a link is edited where it lies: the link stays, the file it names
  // gets the new list and keeps its mode.
  std::string outside = dir_ / "outside.plist";
  writeAll(outside, kInfoXml);
  fs::permissions(outside, fs::perms(0640));
  fs::create_directories(dir_ / "Linked.app/Contents");
  fs::create_symlink(outside, dir_ / "Linked.app/Contents/Info.plist");
  FileUrl linked("");
  ASSERT_EQ(getURL((dir_ / "Linked.app").c_str(), &linked), macassoc::noErr);
  ASSERT_EQ(readInfoFile(&linked, &plist), macassoc::noErr);
  (*plist.asDictionary())["Edited"] = std::string("yes");
  EXPECT_EQ(writeInfoFile(&linked, &plist), macassoc::noErr);
  EXPECT_TRUE(fs::is_symlink(linked.path()));
  EXPECT_NE(readWholeFile(outside).find("<key>Edited</key>"), std::string::npos);
  EXPECT_EQ(fs::status(outside).permissions() & fs::perms::mask, fs::perms(0640));

  FileUrl nowhere(dir_ / "missing-folder/Info.plist");
  EXPECT_EQ(writeInfoFile(&nowhere, &plist), macassoc::kCFURLResourceNotFoundError);
  EXPECT_FALSE(fs::exists(nowhere.path()));
}

TEST_F(MacAssocFunctions, AFailedWriteLeavesTheOldInfoPlistWhole) {
  std::string bundle = makeBundle(dir_ / "Atomic.app");
  FileUrl url("");
  ASSERT_EQ(getURL(bundle.c_str(), &url), macassoc::noErr);
  PlistValue plist;
  ASSERT_EQ(readInfoFile(&url, &plist), macassoc::noErr);
  (*plist.asDictionary())["Padding"] = std::string(64 * 1024, 'p');

  // Files may not grow past 4 KiB for the write: the temporary file cannot be completed.
  std::int32_t status = 0;
  {
    testing_support::SoftLimit fileSize(RLIMIT_FSIZE, 4096);
    status = writeInfoFile(&url, &plist);
  }

  EXPECT_NE(status, macassoc::noErr);
  EXPECT_EQ(readWholeFile(url.path()), kInfoXml);
  EXPECT_EQ(std::distance(fs::directory_iterator(bundle + "/Contents"), fs::directory_iterator()),
            1)
      << "the temporary file is removed";

  EXPECT_EQ(writeInfoFile(&url, &plist), macassoc::noErr);
  EXPECT_EQ(readWholeFile(url.path()).rfind("<?xml", 0), 0u);
  PlistValue reread;
  ASSERT_EQ(readInfoFile(&url, &reread), macassoc::noErr);
  EXPECT_EQ(reread, plist);
}

TEST_F(MacAssocFunctions, IsExistFindsTheFirstEntryListingTheExtensionAlone) {
  auto entry = [](PlistArray extensions) {
    return PlistValue(PlistDictionary{{"CFBundleTypeExtensions", std::move(extensions)}});
  };
  PlistArray types{
      PlistValue("not a dictionary"),
      entry({"odt", "ods"}),
      PlistValue(PlistDictionary{{"CFBundleTypeMIMETypes", PlistArray{"odt"}}}),
      entry({"odt"}),
  };
  long index = -1;
  EXPECT_TRUE(isExist("odt", &types, &index));
  EXPECT_EQ(index, 2) << "any value holding exactly the extension matches";
  EXPECT_FALSE(isExist("ods", &types, &index)) << "multi-extension entries never match";
  EXPECT_FALSE(isExist("ODT", &types, &index)) << "extensions compare exactly";
  EXPECT_FALSE(isExist(nullptr, &types, &index));
}

TEST_F(MacAssocFunctions, IsAssociatedComparesHandlersWithoutCaseAndKeepsAnUnreadableStore) {
  macassoc::LaunchServices services = macassoc::LaunchServices::forCurrentUser();
  ASSERT_EQ(services.setDefaultRoleHandlerForContentType("PUBLIC.PLAIN-TEXT", macassoc::kLSRolesAll,
                                                         "COM.NORQ.OSTRA.DOCUMENT"),
            macassoc::noErr);
  EXPECT_TRUE(isAssociated("txt", "Pelora Documents"));
  EXPECT_FALSE(isAssociated("txt", "Pelora Presentation"));
  EXPECT_FALSE(isAssociated("txt", nullptr));

  std::string store =
      dir_ / "home/Library/Preferences/com.apple.LaunchServices/com.apple.launchservices.secure.plist";
  writeAll(store, "{ torn");
  EXPECT_EQ(services.setDefaultRoleHandlerForContentType("public.rtf", macassoc::kLSRolesAll,
                                                         "com.norq.ostra.Document"),
            macassoc::kLSDataErr);
  EXPECT_EQ(readWholeFile(store), "{ torn");
  EXPECT_FALSE(isAssociated("txt", "Pelora Documents"));
}

TEST(MacAssocTypeIdentifiers, TabledExtensionsIgnoreCaseAndOthersGetStableDynamicTypes) {
  using macassoc::TypeIdentifiers::preferredIdentifierForExtension;
  EXPECT_EQ(preferredIdentifierForExtension("JPeG"), "public.jpeg");

  std::string dynamic = preferredIdentifierForExtension("zzq");
  EXPECT_EQ(dynamic.rfind("dyn.", 0), 0u);
  EXPECT_EQ(dynamic.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789."), std::string::npos);
  EXPECT_EQ(preferredIdentifierForExtension("ZZQ"), dynamic);
  EXPECT_NE(preferredIdentifierForExtension("zzr"), dynamic);
  EXPECT_NE(preferredIdentifierForExtension("zz"), preferredIdentifierForExtension("zz\x01"));
  EXPECT_EQ(preferredIdentifierForExtension("\xc3\xa9t\xc3\xa9")
                .find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789."),
            std::string::npos);
}

}  // namespace
