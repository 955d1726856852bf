#include <limits>

#include "BoundedText.h"
#include "DiagnosticLog.h"
#include "KeyResolution.h"
#include "RegistryOperations.h"
#include "VondraRegConstants.h"
#include "WinResource.h"

namespace vondra {
namespace {

constexpr REGSAM kWriteAccess = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;

int resultOf(LONG status) { return status == ERROR_SUCCESS ? 0 : -1; }

const char* nameOrDefault(const std::optional<std::string>& valueName) {
  return valueName ? valueName->c_str() : nullptr;
}

std::optional<std::string> queryValueText(HKEY key, const std::optional<std::string>& valueName) {
  char data[kRegistryBufferSize] = {};
  DWORD size = sizeof data;
  const LONG status = RegQueryValueExA(key, nameOrDefault(valueName), nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(data), &size);
  const auto text = terminatedText(data, sizeof data);
  auto& log = DiagnosticLog::instance();
  log.write("\tThe got value data's size is : %d\n", static_cast<int>(size));
  log.writeResult(status, "\tValueName is: %s\n\tValue data is: %s\n\tQuery value data return %d\n",
                  textOrNull(valueName), text ? text->c_str() : "", static_cast<int>(status));
  if (status != ERROR_SUCCESS) return std::nullopt;
  return text;
}

LONG openForSetting(const EffectiveKey& key, bool openExisting, RegistryKey& opened) {
  auto& log = DiagnosticLog::instance();
  if (openExisting) {
    const LONG status = RegOpenKeyExA(key.root, key.path.c_str(), 0, KEY_READ | KEY_SET_VALUE, opened.receive());
    log.writeResult(status, "\tOpen key return : %d\n", static_cast<int>(status));
    return status;
  }
  char emptyClass[] = "";
  const LONG status = RegCreateKeyExA(key.root, key.path.c_str(), 0, emptyClass, REG_OPTION_NON_VOLATILE,
                                      kWriteAccess, nullptr, opened.receive(), nullptr);
  log.writeResult(status, "\tCreate key return : %d\n", static_cast<int>(status));
  return status;
}

LONG writeValue(HKEY key, const std::optional<std::string>& valueName,
                const std::optional<std::string>& data, DWORD valueType) {
  const DWORD size = data ? static_cast<DWORD>(data->size() + 1) : 0;
  const auto* bytes = data ? reinterpret_cast<const BYTE*>(data->c_str()) : nullptr;
  const LONG status = RegSetValueExA(key, nameOrDefault(valueName), 0, valueType, bytes, size);
  auto& log = DiagnosticLog::instance();
  log.write("\tThe set value data's size is : %d\n", static_cast<int>(size));
  log.writeResult(status,
                  data ? "\tValueName is: %s\n\tValue data is: %s\n\tSet value return %d\n"
                       : "\tValueName is: %s\n\tValue data is: %s\n\tSet value return %d\n\n",
                  textOrNull(valueName), textOrNull(data), static_cast<int>(status));
  return status;
}

}  // namespace

std::optional<std::string> getValue(HKEY root, const std::string& keyPath,
                                    const std::optional<std::string>& valueName) {
  const auto key = resolveKey(root, keyPath);
  if (!key) return std::nullopt;
  auto& log = DiagnosticLog::instance();
  log.write("In getValue method:\n\tKeyPath is : %s\n", key->path.c_str());
  log.write("\tValue data size is : %d\n", static_cast<int>(kRegistryBufferSize));
  RegistryKey opened;
  const LONG status = RegOpenKeyExA(key->root, key->path.c_str(), 0, KEY_READ, opened.receive());
  log.writeResult(status, "\tOpen key return : %d\n", static_cast<int>(status));
  std::optional<std::string> text;
  if (status == ERROR_SUCCESS) text = queryValueText(opened.get(), valueName);
  log.write("\n");
  return text;
}

int setValue(HKEY root, const std::string& keyPath, const std::optional<std::string>& valueName,
             const std::optional<std::string>& data, DWORD valueType, bool openExisting) {
  if (data && data->size() >= std::numeric_limits<DWORD>::max()) return -1;
  const auto key = resolveKey(root, keyPath);
  if (!key) return -1;
  auto& log = DiagnosticLog::instance();
  log.write("In setValue method:\n");
  log.write("KeyPath is : %s\n", key->path.c_str());
  RegistryKey opened;
  LONG status = openForSetting(*key, openExisting, opened);
  if (status == ERROR_SUCCESS) status = writeValue(opened.get(), valueName, data, valueType);
  log.write("\n");
  return resultOf(status);
}

int deleteValue(HKEY root, const std::string& keyPath, const std::optional<std::string>& valueName) {
  const auto key = resolveKey(root, keyPath);
  if (!key) return -1;
  auto& log = DiagnosticLog::instance();
  log.write("In deleteKeyValue method:\n");
  log.write("\tKeyPath is : %s\n\tValueName is : %s\n", key->path.c_str(), textOrNull(valueName));
  RegistryKey opened;
  LONG status = RegOpenKeyExA(key->root, key->path.c_str(), 0, kWriteAccess, opened.receive());
  log.writeResult(status, "\tOpen key return : %d\n", static_cast<int>(status));
  if (status == ERROR_SUCCESS) {
    status = RegDeleteValueA(opened.get(), nameOrDefault(valueName));
    log.writeResult(status, "\tDelete value return : %d\n", static_cast<int>(status));
  }
  log.write("\n");
  return resultOf(status);
}

}  // namespace vondra
