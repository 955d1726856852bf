// The diagnostic log: its header, the exact lines of each function, and when nothing is written.
#include <functional>

#include "Checks.h"
#include "Harness.h"

namespace harness {
namespace {

const std::string kKey = kTestKey + "\\log";

// "Wed Jan  2 02:03:55 1980": weekday, month, day of month, time, year.
bool isClassicTime(const std::string& text) {
  static const std::string kDays = "SunMonTueWedThuFriSat";
  static const std::string kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
  static const std::string kShape = "www mmm _9 99:99:99 9999";
  if (text.size() != kShape.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
    const char shape = kShape[i];
    if ((shape == '9' && !digit) || (shape == '_' && !digit && text[i] != ' ') ||
        ((shape == ' ' || shape == ':') && text[i] != shape)) {
      return false;
    }
  }
  const auto day = kDays.find(text.substr(0, 3));
  const auto month = kMonths.find(text.substr(4, 3));
  return day != std::string::npos && day % 3 == 0 && month != std::string::npos && month % 3 == 0;
}

std::string failure(DWORD code) { return "\tformat messge:" + systemMessage(code) + "\n"; }

// Runs a call and checks the text it appended to the log.
void expectLogged(const std::filesystem::path& profile, const std::function<void()>& call,
                  const std::string& pattern) {
  const std::size_t before = readLog(profile).size();
  call();
  const std::string added = readLog(profile).substr(before);
  expect(matchesPattern(added, pattern), "log lines\n    actual:   " + describe(added) + "\n    expected: " + describe(pattern));
}

void headerTest(Harness& h, const std::filesystem::path& profile) {
  expectEqual(h.lib.setDebugFlag(h.env(), nullptr, JNI_TRUE), 0L, "setDebugFlag answers 0");
  const std::string log = readLog(profile);
  const std::string start = "\n\n---------log message--------\ntime is :";
  expect(log.size() == start.size() + 25 && log.compare(0, start.size(), start) == 0 && log.back() == '\n' &&
             isClassicTime(log.substr(start.size(), 24)),
         "the header, then the time in the classic form: " + describe(log));
}

void functionLineTests(Harness& h, const std::filesystem::path& profile) {
  auto& lib = h.lib;
  auto* env = h.env();
  auto path = [&](const std::string& text) { return h.string(text); };
  const std::string one = kKey + "\\one";
  struct Case {
    const char* name;
    std::function<void()> call;
    std::string pattern;
  };
  const Case cases[] = {
      {"createRegKey", [&] { lib.createRegKey(env, nullptr, kCurrentUser, path(kKey)); },
       "In createKey method:\n\tKeyPath is : " + kKey + "\n\tCreate key return : 0\n\n"},
      {"queryRegKey of a missing key", [&] { lib.queryRegKey(env, nullptr, kCurrentUser, path(kKey + "\\missing")); },
       "In queryKey method:\n\tKeyPath is : " + kKey + "\\missing\n\tOpen key return : 2\n" + failure(2) + "\n"},
      {"setRegValue of an existing key", [&] { lib.setRegValue(env, nullptr, kCurrentUser, path(kKey), path("Name"), path("data"), REG_SZ, 0, JNI_TRUE); },
       "In setValue method:\nKeyPath is : " + kKey + "\n\tOpen key return : 0\n\tThe set value data's size is : 5\n"
       "\tValueName is: Name\n\tValue data is: data\n\tSet value return 0\n\n"},
      {"setRegValue without data", [&] { lib.setRegValue(env, nullptr, kCurrentUser, path(kKey), path("Empty"), nullptr, REG_BINARY, 0, JNI_FALSE); },
       "In setValue method:\nKeyPath is : " + kKey + "\n\tCreate key return : 0\n\tThe set value data's size is : 0\n"
       "\tValueName is: Empty\n\tValue data is: (null)\n\tSet value return 0\n\n\n"},
      {"setRegValue of a missing key", [&] { lib.setRegValue(env, nullptr, kCurrentUser, path(kKey + "\\missing"), path("v"), path("d"), REG_SZ, 0, JNI_TRUE); },
       "In setValue method:\nKeyPath is : " + kKey + "\\missing\n\tOpen key return : 2\n" + failure(2) + "\n"},
      {"getRegValue", [&] { lib.getRegValue(env, nullptr, kCurrentUser, path(kKey), path("Name")); },
       "In getValue method:\n\tKeyPath is : " + kKey + "\n\tValue data size is : 1024\n\tOpen key return : 0\n"
       "\tThe got value data's size is : 5\n\tValueName is: Name\n\tValue data is: data\n\tQuery value data return 0\n\n"},
      {"getRegValue of a missing default value", [&] { lib.getRegValue(env, nullptr, kCurrentUser, path(kKey), nullptr); },
       "In getValue method:\n\tKeyPath is : " + kKey + "\n\tValue data size is : 1024\n\tOpen key return : 0\n"
       "\tThe got value data's size is : <n>\n\tValueName is: (null)\n\tValue data is: \n\tQuery value data return 2\n" + failure(2) + "\n"},
      {"getRegEnumValueDataPairs", [&] { lib.getRegEnumValueDataPairs(env, nullptr, kCurrentUser, path(one)); },
       "In getIndexedEnumValue method:\nKeyPath is : " + one + "\n\tOpen key return : 0\n\tThe enum value data's size is : 2\n"
       "\tValueName is: v\n\tValue data is: w\n\tEnum value return 0\n\n"
       "In getIndexedEnumValue method:\nKeyPath is : " + one + "\n\tOpen key return : 0\n\tThe enum value data's size is : <n>\n"
       "\tValueName is: <line>\n\tValue data is: <line>\n\tEnum value return 259\n" + failure(259) + "\n"
       "In getIndexedEnumValue method:\nKeyPath is : " + one + "\n\tOpen key return : 0\n\tThe enum value data's size is : 2\n"
       "\tValueName is: v\n\tValue data is: w\n\tEnum value return 0\n\n"},
      {"getRegEnumSubKeys", [&] { lib.getRegEnumSubKeys(env, nullptr, kCurrentUser, path(one)); },
       "In getIndexedEnumKey method:\nKeyPath is : " + one + "\n\tOpen key return : 0\n\tThe enum key's keySize is : 1\n"
       "\tIndex is: 0\n\tSubKey is : s\n\tEnum key return : 0\n\n"
       "In getIndexedEnumKey method:\nKeyPath is : " + one + "\n\tOpen key return : 0\n\tThe enum key's keySize is : <n>\n"
       "\tIndex is: 1\n\tSubKey is : <line>\n\tEnum key return : 259\n" + failure(259) + "\n"
       "In getIndexedEnumKey method:\nKeyPath is : " + one + "\n\tOpen key return : 0\n\tThe enum key's keySize is : 1\n"
       "\tIndex is: 0\n\tSubKey is : s\n\tEnum key return : 0\n\n"},
      {"deleteRegValue", [&] { lib.deleteRegValue(env, nullptr, kCurrentUser, path(kKey), path("Name")); },
       "In deleteKeyValue method:\n\tKeyPath is : " + kKey + "\n\tValueName is : Name\n\tOpen key return : 0\n\tDelete value return : 0\n\n"},
      {"deleteRegValue of a missing value", [&] { lib.deleteRegValue(env, nullptr, kCurrentUser, path(kKey), path("Name")); },
       "In deleteKeyValue method:\n\tKeyPath is : " + kKey + "\n\tValueName is : Name\n\tOpen key return : 0\n\tDelete value return : 2\n" +
           failure(2) + "\n"},
      {"deleteRegKey", [&] { lib.deleteRegKey(env, nullptr, kCurrentUser, path(kKey)); },
       "In deleteKey method:\n\tKeyPath is : " + kKey + "\n\tSHDeleteKey return : 0\n\n"},
      {"deleteRegKey of a missing key", [&] { lib.deleteRegKey(env, nullptr, kCurrentUser, path(kKey)); },
       "In deleteKey method:\n\tKeyPath is : " + kKey + "\n\tSHDeleteKey return : 2\n" + failure(2) + "\tRegDeleteKey return : 2\n" +
           failure(2) + "\n"},
      {"a key path full of format directives is logged as it is",
       [&] { lib.queryRegKey(env, nullptr, kCurrentUser, path(kTestKey + "\\%s%n%x%p%s")); },
       "In queryKey method:\n\tKeyPath is : " + kTestKey + "\\%s%n%x%p%s\n\tOpen key return : 2\n" + failure(2) + "\n"},
  };
  writeRawValue(HKEY_CURRENT_USER, one, "v", REG_SZ, std::string("w", 2));
  writeRawValue(HKEY_CURRENT_USER, one + "\\s", "x", REG_SZ, "");
  for (const auto& c : cases) {
    Trace trace(c.name);
    expectLogged(profile, c.call, c.pattern);
  }
}

// A key path that fits the 1024-byte buffer reaches the registry whole; a longer one fails
// before any registry call instead of being cut to another key's path.
void keyPathBoundTests(Harness& h, const std::filesystem::path& profile) {
  const std::string longest = kTestKey + "\\" + std::string(1023 - kTestKey.size() - 1, 'k');
  const std::size_t before = readLog(profile).size();
  h.lib.queryRegKey(h.env(), nullptr, kCurrentUser, h.string(longest));
  expect(readLog(profile).find("\tKeyPath is : " + longest + "\n", before) != std::string::npos,
         "a 1023-byte key path is logged whole");
  const std::string log = readLog(profile);
  expectEqual(h.lib.queryRegKey(h.env(), nullptr, kCurrentUser, h.string(longest + "k")), -1L, "a 1024-byte key path fails");
  expectEqual(h.lib.createRegKey(h.env(), nullptr, kCurrentUser, h.string(longest + "k")), -1L, "createRegKey of it fails");
  expectEqual(readLog(profile), log, "and reaches neither the registry nor the log");
}

void switchedOffTests(Harness& h, const std::filesystem::path& profile) {
  expectEqual(h.lib.setDebugFlag(h.env(), nullptr, JNI_FALSE), 0L, "setDebugFlag answers 0");
  const std::string log = readLog(profile);
  h.lib.createRegKey(h.env(), nullptr, kCurrentUser, h.string(kKey));
  h.lib.queryRegKey(h.env(), nullptr, kCurrentUser, h.string(kKey));
  h.lib.deleteRegKey(h.env(), nullptr, kCurrentUser, h.string(kKey));
  expectEqual(readLog(profile), log, "nothing is written with the flag off");

  // Without "userprofile" no log path can be formed; switching on again forms it anew.
  SetEnvironmentVariableW(L"userprofile", nullptr);
  h.lib.setDebugFlag(h.env(), nullptr, JNI_TRUE);
  h.lib.queryRegKey(h.env(), nullptr, kCurrentUser, h.string(kKey));
  expectEqual(readLog(profile), log, "nothing is written without a profile folder");
  h.lib.setDebugFlag(h.env(), nullptr, JNI_FALSE);
}

}  // namespace

void diagnosticLogTests(Harness& h) {
  removeKeyTree(HKEY_CURRENT_USER, kKey);
  const auto profile = h.work / "log-profile";
  std::filesystem::create_directories(profile);
  SetEnvironmentVariableW(L"userprofile", profile.c_str());

  {
    Trace trace("flag off");
    h.lib.queryRegKey(h.env(), nullptr, kCurrentUser, h.string(kKey));
    expect(!std::filesystem::exists(profile / "vondraReg.log"), "no log file is made");
  }
  headerTest(h, profile);
  functionLineTests(h, profile);
  keyPathBoundTests(h, profile);
  switchedOffTests(h, profile);
  removeKeyTree(HKEY_CURRENT_USER, kKey);
}

}  // namespace harness
