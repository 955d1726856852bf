// vondraReg.dll loaded the way a JVM loads it: by path, each native found by its exported name.
#pragma once

#include <windows.h>

#include <string>

#include "com_norq_pelora_fileassociation_w32_WindowsRegisterHelper.h"

#define HARNESS_NATIVE_NAME(method) Java_com_norq_pelora_fileassociation_w32_WindowsRegisterHelper_##method
#define HARNESS_NATIVE(method) decltype(&HARNESS_NATIVE_NAME(method)) method = nullptr

namespace harness {

// The root key values the Java class passes.
constexpr jint kCurrentUser = com_norq_pelora_fileassociation_w32_WindowsRegisterHelper_HKEY_CURRENT_USER;
constexpr jint kUsers = com_norq_pelora_fileassociation_w32_WindowsRegisterHelper_HKEY_USERS;

class VondraRegLibrary {
 public:
  // Loads the library from the harness's own folder; a library or native that cannot be found
  // ends the run.
  VondraRegLibrary();
  ~VondraRegLibrary();
  VondraRegLibrary(const VondraRegLibrary&) = delete;
  VondraRegLibrary& operator=(const VondraRegLibrary&) = delete;

  HARNESS_NATIVE(queryRegKey);
  HARNESS_NATIVE(getRegValue);
  HARNESS_NATIVE(setRegValue);
  HARNESS_NATIVE(createRegKey);
  HARNESS_NATIVE(deleteRegKey);
  HARNESS_NATIVE(deleteRegValue);
  HARNESS_NATIVE(getRegEnumValueDataPairs);
  HARNESS_NATIVE(getRegEnumSubKeys);
  HARNESS_NATIVE(setDebugFlag);
  HARNESS_NATIVE(isVistaOrLaterVer);
  HARNESS_NATIVE(isCurUserInAdminsGrp);
  HARNESS_NATIVE(deleteDeskTopByTarget);
  HARNESS_NATIVE(refreshRegistry);

 private:
  template <class Function>
  void lookUp(Function& function, const char* name);

  HMODULE _module;
};

// The folder of the harness executable, with a trailing backslash.
std::wstring harnessFolder();

}  // namespace harness
