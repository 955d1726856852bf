// HKEY_USERS requests: served from HKEY_CURRENT_USER while no shell process runs in the
// caller's session, then inside the shell user's hive once one does.
#include "Checks.h"
#include "Harness.h"

namespace harness {
namespace {

const std::string kKey = kTestKey + "\\users";

// A stand-in desktop shell: a process named "explorer.exe" in this session, kept suspended
// (its token and name are all the library looks at) and ended with the scope.
class StandInShell {
 public:
  StandInShell() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const std::wstring program = harnessFolder() + L"explorer.exe";
    _started = CreateProcessW(program.c_str(), nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                              nullptr, &startup, &_process);
  }
  ~StandInShell() {
    if (!_started) return;
    TerminateProcess(_process.hProcess, 0);
    WaitForSingleObject(_process.hProcess, INFINITE);
    CloseHandle(_process.hThread);
    CloseHandle(_process.hProcess);
  }
  StandInShell(const StandInShell&) = delete;
  StandInShell& operator=(const StandInShell&) = delete;

  bool started() const { return _started; }

 private:
  PROCESS_INFORMATION _process{};
  bool _started = false;
};

std::string logAfter(const std::filesystem::path& profile, std::size_t mark) { return readLog(profile).substr(mark); }

void withoutShell(Harness& h, const std::filesystem::path& profile) {
  Trace trace("no shell process");
  const std::size_t mark = readLog(profile).size();
  expectEqual(h.lib.createRegKey(h.env(), nullptr, kUsers, h.string(kKey)), 0L, "createRegKey under HKEY_USERS");
  expect(keyExists(HKEY_CURRENT_USER, kKey), "the key was made in HKEY_CURRENT_USER");
  expectEqual(logAfter(profile, mark), "In createKey method:\n\tKeyPath is : " + kKey + "\n\tCreate key return : 0\n\n",
              "the path stays as given");
}

void withShell(Harness& h, const std::filesystem::path& profile, const std::string& sid) {
  Trace trace("shell process of this session");
  const std::string scoped = sid + "\\" + kKey;
  std::size_t mark = readLog(profile).size();
  expectEqual(h.lib.setRegValue(h.env(), nullptr, kUsers, h.string(kKey), h.string("Scoped"), h.string("yes"), REG_SZ, 0, JNI_FALSE),
              0L, "setRegValue under HKEY_USERS");
  expectEqual(logAfter(profile, mark),
              "In setValue method:\nKeyPath is : " + scoped + "\n\tCreate key return : 0\n\tThe set value data's size is : 4\n"
              "\tValueName is: Scoped\n\tValue data is: yes\n\tSet value return 0\n\n",
              "the path lies inside the shell user's hive");
  const auto stored = readRawValue(HKEY_USERS, scoped, "Scoped");
  expect(stored && stored->bytes == std::string("yes", 4), "the value is in HKEY_USERS\\<SID>\\<key path>");

  // Key enumeration shows the effective path; value enumeration shows the caller's.
  expectEqual(h.lib.createRegKey(h.env(), nullptr, kUsers, h.string(kKey + "\\child")), 0L, "createRegKey under HKEY_USERS");
  mark = readLog(profile).size();
  expectEqual(h.jvm.strings(h.lib.getRegEnumSubKeys(h.env(), nullptr, kUsers, h.string(kKey))),
              std::optional<std::vector<std::optional<std::string>>>({std::string("child")}), "the sub-keys of the SID's key");
  const std::string keyLog = logAfter(profile, mark);
  expect(keyLog.find("In getIndexedEnumKey method:\nKeyPath is : " + scoped + "\n") != std::string::npos &&
             keyLog.find("KeyPath is : " + kKey + "\n") == std::string::npos,
         "key enumeration logs the path inside the shell user's hive");
  mark = readLog(profile).size();
  h.lib.getRegEnumValueDataPairs(h.env(), nullptr, kUsers, h.string(kKey));
  expect(logAfter(profile, mark).find("In getIndexedEnumValue method:\nKeyPath is : " + kKey + "\n") != std::string::npos,
         "value enumeration logs the path as the caller passed it");

  // "<SID>\<key path>" must fit the 1024-byte buffer whole, its NUL included.
  const std::size_t padding = 1023 - (sid.size() + 1) - (kTestKey.size() + 1);
  const std::string longest = kTestKey + "\\" + std::string(padding, 'u');
  mark = readLog(profile).size();
  h.lib.queryRegKey(h.env(), nullptr, kUsers, h.string(longest));
  expect(logAfter(profile, mark).find("\tKeyPath is : " + sid + "\\" + longest + "\n") != std::string::npos,
         "a path that fits with the SID is logged whole");
  mark = readLog(profile).size();
  expectEqual(h.lib.queryRegKey(h.env(), nullptr, kUsers, h.string(longest + "u")), -1L, "a path one byte longer fails");
  expectEqual(logAfter(profile, mark), std::string(), "before any registry call");
}

}  // namespace

void userHiveTests(Harness& h) {
  removeKeyTree(HKEY_CURRENT_USER, kKey);
  if (shellProcessRuns()) {
    expect(false, "precondition: no process named explorer.exe runs in this Wine session");
    return;
  }
  const auto profile = h.work / "users-profile";
  std::filesystem::create_directories(profile);
  SetEnvironmentVariableW(L"userprofile", profile.c_str());
  h.lib.setDebugFlag(h.env(), nullptr, JNI_TRUE);

  withoutShell(h, profile);
  const std::string sid = ownUserSid();
  {
    StandInShell shell;
    expect(shell.started(), "the stand-in shell starts");
    withShell(h, profile, sid);
  }
  {
    Trace trace("after the shell ended");
    const std::size_t mark = readLog(profile).size();
    expectEqual(h.lib.queryRegKey(h.env(), nullptr, kUsers, h.string(kKey)), 0L, "queryRegKey under HKEY_USERS");
    expect(logAfter(profile, mark).find("\tKeyPath is : " + sid + "\\" + kKey + "\n") != std::string::npos,
           "the SID found once stays in use");
  }
  h.lib.setDebugFlag(h.env(), nullptr, JNI_FALSE);
  removeKeyTree(HKEY_CURRENT_USER, kKey);
}

}  // namespace harness
