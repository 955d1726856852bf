// The two system predicates. isVistaOrLaterVer is checked in child runs of the harness under
// two Windows versions that Wine is told to report for it.
#include "Checks.h"
#include "Harness.h"

namespace harness {
namespace {

const std::string kAppDefaults = "Software\\Wine\\AppDefaults\\";

std::string harnessFileName() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring full(path);
  const std::wstring name = full.substr(full.find_last_of(L'\\') + 1);
  return std::string(name.begin(), name.end());
}

// Runs the harness again with the Windows version Wine reports to it set; its exit status.
DWORD runChildUnder(const char* windowsVersion, bool expectVistaOrLater) {
  const std::string appKey = kAppDefaults + harnessFileName();
  writeRawValue(HKEY_CURRENT_USER, appKey, "Version", REG_SZ, std::string(windowsVersion) + '\0');
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring commandLine = L"\"" + std::wstring(path) + L"\" --check-version " + (expectVistaOrLater ? L"1" : L"0");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  DWORD status = 99;
  if (CreateProcessW(path, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child)) {
    WaitForSingleObject(child.hProcess, INFINITE);
    GetExitCodeProcess(child.hProcess, &status);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
  }
  removeKeyTree(HKEY_CURRENT_USER, appKey);
  return status;
}

DWORD reportedMajorVersion() {
  using RtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
  const auto get = reinterpret_cast<RtlGetVersion>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (get == nullptr || get(&version) != 0) return 0;
  return version.dwMajorVersion;
}

}  // namespace

void versionTests(Harness& h) {
  expectEqual(static_cast<int>(h.lib.isCurUserInAdminsGrp(h.env(), nullptr)), JNI_TRUE, "isCurUserInAdminsGrp");
  const struct {
    const char* windowsVersion;
    bool vistaOrLater;
  } cases[] = {{"win7", true}, {"winxp64", false}};
  for (const auto& c : cases) {
    Trace trace(c.windowsVersion);
    expectEqual(runChildUnder(c.windowsVersion, c.vistaOrLater), DWORD{0}, "the child run passes");
  }
}

int checkVersionAsChild(Harness& h, bool expectVistaOrLater) {
  const bool answer = h.lib.isVistaOrLaterVer(h.env(), nullptr) != JNI_FALSE;
  expectEqual(answer, reportedMajorVersion() > 5, "isVistaOrLaterVer agrees with the version Wine reports");
  expectEqual(answer, expectVistaOrLater, "isVistaOrLaterVer under the configured Windows version");
  return failureCount() == 0 ? 0 : 1;
}

}  // namespace harness
