#include "RegistryEnumeration.h"

#include "BoundedText.h"
#include "DiagnosticLog.h"
#include "VondraRegConstants.h"
#include "WinResource.h"

namespace vondra {
namespace {

std::optional<std::string> enumValueAt(HKEY key, DWORD index) {
  char name[kRegistryBufferSize] = {};
  char data[kRegistryBufferSize] = {};
  DWORD nameSize = sizeof name;
  DWORD dataSize = sizeof data;
  const LONG status = RegEnumValueA(key, index, name, &nameSize, nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(data), &dataSize);
  const auto nameText = terminatedText(name, sizeof name);
  const auto dataText = terminatedText(data, sizeof data);
  auto& log = DiagnosticLog::instance();
  log.write("\tThe enum value data's size is : %d\n", static_cast<int>(dataSize));
  log.writeResult(status, "\tValueName is: %s\n\tValue data is: %s\n\tEnum value return %d\n",
                  nameText ? nameText->c_str() : "", dataText ? dataText->c_str() : "",
                  static_cast<int>(status));
  if (status != ERROR_SUCCESS || !nameText || !dataText) return std::nullopt;
  return *nameText + kValueDataSeparator + *dataText;
}

std::optional<std::string> enumSubKeyAt(HKEY key, DWORD index) {
  char name[kRegistryBufferSize] = {};
  DWORD nameSize = sizeof name;
  const LONG status = RegEnumKeyExA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
  const auto nameText = terminatedText(name, sizeof name);
  auto& log = DiagnosticLog::instance();
  log.write("\tThe enum key's keySize is : %d\n", static_cast<int>(nameSize));
  log.writeResult(status, "\tIndex is: %d\n\tSubKey is : %s\n\tEnum key return : %d\n",
                  static_cast<int>(index), nameText ? nameText->c_str() : "", static_cast<int>(status));
  if (status != ERROR_SUCCESS) return std::nullopt;
  return nameText;
}

// Opens the key for one indexed read and logs the path shown and the open; the caller has
// written its method line.
std::optional<std::string> readOpened(const EffectiveKey& key, const std::string& loggedKeyPath,
                                      DWORD index, std::optional<std::string> (*readAt)(HKEY, DWORD)) {
  auto& log = DiagnosticLog::instance();
  log.write("KeyPath is : %s\n", loggedKeyPath.c_str());
  RegistryKey opened;
  const LONG status = RegOpenKeyExA(key.root, key.path.c_str(), 0, KEY_READ, opened.receive());
  log.writeResult(status, "\tOpen key return : %d\n", static_cast<int>(status));
  std::optional<std::string> entry;
  if (status == ERROR_SUCCESS) entry = readAt(opened.get(), index);
  log.write("\n");
  return entry;
}

}  // namespace

std::optional<std::string> readValueEntry(const EffectiveKey& key, const std::string& callerKeyPath,
                                          DWORD index) {
  DiagnosticLog::instance().write("In getIndexedEnumValue method:\n");
  return readOpened(key, callerKeyPath, index, enumValueAt);
}

std::optional<std::string> readSubKeyEntry(const EffectiveKey& key, const std::string& /*callerKeyPath*/,
                                           DWORD index) {
  DiagnosticLog::instance().write("In getIndexedEnumKey method:\n");
  return readOpened(key, key.path, index, enumSubKeyAt);
}

DWORD countEntries(const EntryReader& read) {
  DWORD count = 0;
  while (read(count)) ++count;
  return count;
}

}  // namespace vondra
