// Quoting, the volume of a path and positional binding.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "installer/formats/StringUtil.h"

namespace {

using namespace support::StringUtil;

TEST(GetVolumeTest, FolderBelowVolumesOrTheRoot) {
  struct Case {
    std::optional<std::string> path;
    std::optional<std::string> volume;
  } cases[] = {
      {"/Volumes/Disk/Applications/App.app", "/Volumes/Disk"},
      {"/Volumes/Disk", "/Volumes/Disk"},
      {"/Volumes//Disk/x/", "/Volumes//Disk"},
      {"/Applications", "/"},
      {"/Volumes", "/"},
      {"/", "/"},
      {"Volumes/Disk/x", "/"},
      {"", "/"},
      {"~/Documents", "/Volumes/Home"},
      {std::nullopt, std::nullopt},
  };
  std::optional<std::string> savedHome;
  if (const char* home = std::getenv("HOME")) savedHome = home;
  ::setenv("HOME", "/Volumes/Home/Users/u", 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.value_or("(none)"));
    EXPECT_EQ(getVolume(c.path), c.volume);
  }
  if (savedHome) ::setenv("HOME", savedHome->c_str(), 1);
  else ::unsetenv("HOME");
}

TEST(BindStringTest, FillsPlaceholdersInOrder) {
  using Values = std::vector<std::string>;
  struct Case {
    const char* pattern;
    Values values;
    const char* expected;
  } cases[] = {
      {"a%@b%@c", {"X"}, "aXbc"},
      {"a%@b%@c", {"X", "Y", "Z"}, "aXbYc"},
      {"%@%@", {"1", "2"}, "12"},
      {"100%% %@", {"%@"}, "100%% %@"},  // a value is not searched again
      {"no placeholder", {"X"}, "no placeholder"},
      {"", {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(bindStringWith(c.pattern, c.values), c.expected);
  }
}

TEST(QuotingTest, QuotesWithoutEscaping) {
  EXPECT_EQ(addQuotesToString("a \"b\""), "\"a \"b\"\"");
  EXPECT_EQ(addQuotesToString(""), "\"\"");
  EXPECT_EQ(addTranslationSignToString("Install"), "Install");
}

}  // namespace
