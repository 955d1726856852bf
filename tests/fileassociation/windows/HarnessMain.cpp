// The Wine test harness of vondraReg: loads the x86_64 library, calls each native through a
// JNI environment of its own and reports every failed expectation. Exit status 0 when all pass.
//   vondraRegHarness.exe                      all test groups
//   vondraRegHarness.exe --check-version 0|1  the version predicate only (a child run)
#include <cstdio>
#include <cstring>

#include "Checks.h"
#include "Harness.h"

namespace {

// Inside the Wine prefix (its temporary folder), where shortcut targets live on a drive of the
// prefix's own.
std::filesystem::path freshWorkFolder() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::filesystem::path work = std::filesystem::path(temp) / "vondraRegHarness";
  std::error_code ignored;
  std::filesystem::remove_all(work, ignored);
  std::filesystem::create_directories(work);
  return work;
}

void runGroup(const char* name, void (*group)(harness::Harness&), harness::Harness& h) {
  const int before = harness::failureCount();
  {
    harness::Trace trace(name);
    group(h);
  }
  std::printf("%-22s %s\n", name, harness::failureCount() == before ? "passed" : "FAILED");
}

}  // namespace

int main(int argc, char** argv) {
  harness::Harness h{{}, {}, {}};
  if (argc == 3 && std::strcmp(argv[1], "--check-version") == 0) {
    return harness::checkVersionAsChild(h, std::strcmp(argv[2], "1") == 0);
  }
  h.work = freshWorkFolder();
  harness::removeKeyTree(HKEY_CURRENT_USER, harness::kTestKey);
  // HKEY_USERS comes first: its first part needs a session without any shell process.
  runGroup("HKEY_USERS requests", harness::userHiveTests, h);
  runGroup("diagnostic log", harness::diagnosticLogTests, h);
  runGroup("registry functions", harness::registryTests, h);
  runGroup("enumerations", harness::enumerationTests, h);
  runGroup("shortcuts", harness::shortcutTests, h);
  runGroup("system predicates", harness::versionTests, h);
  harness::removeKeyTree(HKEY_CURRENT_USER, harness::kTestKey);
  std::printf("%d failure(s)\n", harness::failureCount());
  return harness::failureCount() == 0 ? 0 : 1;
}
