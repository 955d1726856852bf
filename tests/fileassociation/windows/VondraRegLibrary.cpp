#include "VondraRegLibrary.h"

#include <cstdio>

#define HARNESS_LOOK_UP(method) lookUp(method, "Java_com_norq_pelora_fileassociation_w32_WindowsRegisterHelper_" #method)

namespace harness {

std::wstring harnessFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

VondraRegLibrary::VondraRegLibrary() : _module(LoadLibraryW((harnessFolder() + L"vondraReg.dll").c_str())) {
  if (_module == nullptr) {
    std::fprintf(stderr, "FAILED: vondraReg.dll does not load (error %lu)\n", GetLastError());
    std::exit(2);
  }
  HARNESS_LOOK_UP(queryRegKey);
  HARNESS_LOOK_UP(getRegValue);
  HARNESS_LOOK_UP(setRegValue);
  HARNESS_LOOK_UP(createRegKey);
  HARNESS_LOOK_UP(deleteRegKey);
  HARNESS_LOOK_UP(deleteRegValue);
  HARNESS_LOOK_UP(getRegEnumValueDataPairs);
  HARNESS_LOOK_UP(getRegEnumSubKeys);
  HARNESS_LOOK_UP(setDebugFlag);
  HARNESS_LOOK_UP(isVistaOrLaterVer);
  HARNESS_LOOK_UP(isCurUserInAdminsGrp);
  HARNESS_LOOK_UP(deleteDeskTopByTarget);
  HARNESS_LOOK_UP(refreshRegistry);
}

VondraRegLibrary::~VondraRegLibrary() { FreeLibrary(_module); }

template <class Function>
void VondraRegLibrary::lookUp(Function& function, const char* name) {
  const FARPROC address = GetProcAddress(_module, name);
  if (address == nullptr) {
    std::fprintf(stderr, "FAILED: vondraReg.dll does not export %s\n", name);
    std::exit(2);
  }
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

}  // namespace harness
