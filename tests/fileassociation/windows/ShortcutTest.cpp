// deleteDeskTopByTarget with real shortcut files in Wine's desktop and program-menu folders.
#include <shlobj.h>

#include <utility>
#include <vector>

#include "Checks.h"
#include "Harness.h"

namespace harness {
namespace {

namespace fs = std::filesystem;

struct ShortcutCase {
  const char* name;
  int csidl;
  const wchar_t* file;  // relative to the shell folder
  bool pointsAtTarget;
  bool survives;
};

const ShortcutCase kCases[] = {
    {"desktop shortcut to the target", CSIDL_DESKTOPDIRECTORY, L"Client.lnk", true, false},
    {"protected documents shortcut", CSIDL_DESKTOPDIRECTORY, L"Ostra Pelora Documents.lnk", true, true},
    {"protected presentations shortcut", CSIDL_DESKTOPDIRECTORY, L"Ostra Pelora Presentations.lnk", true, true},
    {"protected spreadsheets shortcut", CSIDL_DESKTOPDIRECTORY, L"Ostra Pelora Spreadsheets.lnk", true, true},
    {"desktop shortcut elsewhere", CSIDL_DESKTOPDIRECTORY, L"Other.lnk", false, true},
    {"desktop sub-folders are not scanned", CSIDL_DESKTOPDIRECTORY, L"Folder\\Client.lnk", true, true},
    {"protected names match case-sensitively", CSIDL_COMMON_DESKTOPDIRECTORY, L"ostra pelora documents.lnk", true, false},
    {"all-users programs menu itself", CSIDL_COMMON_PROGRAMS, L"Client.lnk", true, false},
    {"folder in the all-users programs menu", CSIDL_COMMON_PROGRAMS, L"Pelora\\Client.lnk", true, false},
    {"two levels below the programs menu", CSIDL_COMMON_PROGRAMS, L"Pelora\\Deep\\Client.lnk", true, true},
    {"start menu above the programs menu", CSIDL_COMMON_PROGRAMS, L"..\\Client.lnk", true, false},
    {"folder in the user's programs menu", CSIDL_PROGRAMS, L"Pelora Tools\\Client.lnk", true, false},
    {"other shortcut in that folder", CSIDL_PROGRAMS, L"Pelora Tools\\Other.lnk", false, true},
};

fs::path shellFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

fs::path placeOf(const ShortcutCase& c) { return shellFolder(c.csidl) / c.file; }

bool makeShortcut(const fs::path& file, const fs::path& target) {
  fs::create_directories(file.parent_path());
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return false;
  }
  IPersistFile* persist = nullptr;
  bool saved = SUCCEEDED(link->SetPath(target.c_str())) &&
               SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
               SUCCEEDED(persist->Save(file.c_str(), TRUE));
  if (persist) persist->Release();
  link->Release();
  return saved;
}

void makeShortcuts(const fs::path& target, const fs::path& other) {
  // The harness leaves COM before the library runs, which enters it on its own.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  for (const auto& c : kCases) {
    Trace trace(c.name);
    expect(makeShortcut(placeOf(c), c.pointsAtTarget ? target : other), "the shortcut is made");
  }
  CoUninitialize();
}

void expectAllPresent(const char* after) {
  for (const auto& c : kCases) {
    Trace trace(c.name);
    expect(fs::exists(placeOf(c)), std::string("the shortcut survives ") + after);
  }
}

void removeShortcuts() {
  std::error_code ignored;
  for (const auto& c : kCases) fs::remove(placeOf(c), ignored);
  fs::remove_all(shellFolder(CSIDL_DESKTOPDIRECTORY) / "Folder", ignored);
  fs::remove_all(shellFolder(CSIDL_COMMON_PROGRAMS) / "Pelora", ignored);
  fs::remove_all(shellFolder(CSIDL_PROGRAMS) / "Pelora Tools", ignored);
}

// A hidden window registered for the shell's association-change event; counts what arrives.
class AssociationChangeProbe {
 public:
  AssociationChangeProbe() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &AssociationChangeProbe::receive;
    windowClass.lpszClassName = L"vondraRegProbe";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, L"vondraRegProbe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SHChangeNotifyEntry everywhere{nullptr, TRUE};
    registration_ = SHChangeNotifyRegister(window_, SHCNRF_ShellLevel | SHCNRF_InterruptLevel | SHCNRF_NewDelivery,
                                           SHCNE_ALLEVENTS, kMessage, 1, &everywhere);
  }
  ~AssociationChangeProbe() {
    SHChangeNotifyDeregister(registration_);
    DestroyWindow(window_);
  }
  bool registered() const { return registration_ != 0; }
  // The events delivered since the last call.
  std::vector<long> events() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    return std::exchange(received_, {});
  }

 private:
  static constexpr UINT kMessage = WM_USER + 7;
  static LRESULT CALLBACK receive(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kMessage) return DefWindowProcW(window, message, wParam, lParam);
    PIDLIST_ABSOLUTE* items = nullptr;
    long event = 0;
    HANDLE lock = SHChangeNotification_Lock(reinterpret_cast<HANDLE>(wParam), static_cast<DWORD>(lParam), &items, &event);
    if (lock != nullptr) SHChangeNotification_Unlock(lock);
    received_.push_back(event);
    return 0;
  }
  static inline std::vector<long> received_;
  HWND window_ = nullptr;
  ULONG registration_ = 0;
};

}  // namespace

void shortcutTests(Harness& h) {
  const fs::path targets = h.work / "targets";
  const fs::path target = targets / "Pelora Client" / "client.exe";
  const fs::path other = targets / "Other" / "tool.exe";
  for (const auto& file : {target, other}) {
    fs::create_directories(file.parent_path());
    FILE* made = _wfopen(file.c_str(), L"wb");
    if (made) fclose(made);
  }
  removeShortcuts();
  makeShortcuts(target, other);

  h.lib.deleteDeskTopByTarget(h.env(), nullptr, nullptr);
  expectAllPresent("a null target");
  h.lib.deleteDeskTopByTarget(h.env(), nullptr, h.string(""));
  expectAllPresent("an empty target, which every path contains");

  // The text is part of the target's folder name: containing it is enough.
  h.lib.deleteDeskTopByTarget(h.env(), nullptr, h.string("Pelora Client"));
  for (const auto& c : kCases) {
    Trace trace(c.name);
    expectEqual(fs::exists(placeOf(c)), c.survives, "the shortcut survives");
  }
  AssociationChangeProbe probe;
  expect(probe.registered(), "the probe is registered for shell notifications");
  probe.events();
  h.lib.refreshRegistry(h.env(), nullptr);
  const std::vector<long> events = probe.events();
  expectEqual(events.size(), std::size_t{1}, "the shell hears of one change");
  expect(!events.empty() && events.front() == SHCNE_ASSOCCHANGED, "the change is one of file associations");
  expectEqual(h.jvm.pinnedStrings(), std::size_t{0}, "every string's characters were released");
  removeShortcuts();
}

}  // namespace harness
