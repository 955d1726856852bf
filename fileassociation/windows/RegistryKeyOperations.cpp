#include <shlwapi.h>

#include "DiagnosticLog.h"
#include "KeyResolution.h"
#include "RegistryOperations.h"
#include "WinResource.h"

namespace vondra {
namespace {

constexpr REGSAM kCreateAccess = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;

int resultOf(LONG status) { return status == ERROR_SUCCESS ? 0 : -1; }

}  // namespace

int queryKey(HKEY root, const std::string& keyPath) {
  const auto key = resolveKey(root, keyPath);
  if (!key) return -1;
  auto& log = DiagnosticLog::instance();
  log.write("In queryKey method:\n");
  log.write("\tKeyPath is : %s\n", key->path.c_str());
  RegistryKey opened;
  const LONG status = RegOpenKeyExA(key->root, key->path.c_str(), 0, KEY_READ, opened.receive());
  log.writeResult(status, "\tOpen key return : %d\n", static_cast<int>(status));
  log.write("\n");
  return resultOf(status);
}

int createKey(HKEY root, const std::string& keyPath) {
  if (keyPath.empty()) return -1;
  const auto key = resolveKey(root, keyPath);
  if (!key) return -1;
  auto& log = DiagnosticLog::instance();
  log.write("In createKey method:\n");
  char emptyClass[] = "";
  RegistryKey created;
  const LONG status = RegCreateKeyExA(key->root, key->path.c_str(), 0, emptyClass,
                                      REG_OPTION_NON_VOLATILE, kCreateAccess, nullptr,
                                      created.receive(), nullptr);
  log.writeResult(status, "\tKeyPath is : %s\n\tCreate key return : %d\n", key->path.c_str(),
                  static_cast<int>(status));
  log.write("\n");
  return resultOf(status);
}

int deleteKey(HKEY root, const std::string& keyPath) {
  // An empty path would name the root itself.
  if (keyPath.empty()) return -1;
  const auto key = resolveKey(root, keyPath);
  if (!key) return -1;
  auto& log = DiagnosticLog::instance();
  log.write("In deleteKey method:\n");
  log.write("\tKeyPath is : %s\n", key->path.c_str());
  const LONG treeStatus = static_cast<LONG>(SHDeleteKeyA(key->root, key->path.c_str()));
  log.writeResult(treeStatus, "\tSHDeleteKey return : %d\n", static_cast<int>(treeStatus));
  LONG status = treeStatus;
  if (treeStatus != ERROR_SUCCESS) {
    status = RegDeleteKeyA(key->root, key->path.c_str());
    log.writeResult(status, "\tRegDeleteKey return : %d\n", static_cast<int>(status));
  }
  log.write("\n");
  return resultOf(status);
}

}  // namespace vondra
