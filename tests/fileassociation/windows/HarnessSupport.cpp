#include "Harness.h"

#include <sddl.h>
#include <tlhelp32.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <vector>

namespace harness {

bool keyExists(HKEY root, const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::optional<RawValue> readRawValue(HKEY root, const std::string& path, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
  DWORD type = 0;
  DWORD size = 0;
  std::optional<RawValue> value;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    std::string bytes(size, '\0');
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size) == ERROR_SUCCESS) {
      bytes.resize(size);
      value = RawValue{type, bytes};
    }
  }
  RegCloseKey(key);
  return value;
}

std::optional<std::wstring> readWideText(HKEY root, const std::string& path, const char* name) {
  std::wstring widePath(path.begin(), path.end());
  std::wstring wideName(name, name + std::char_traits<char>::length(name));
  wchar_t text[512] = {};
  DWORD size = sizeof text - sizeof(wchar_t);
  if (RegGetValueW(root, widePath.c_str(), wideName.c_str(), RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(text);
}

void writeRawValue(HKEY root, const std::string& path, const char* name, DWORD type, const std::string& bytes) {
  HKEY key;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
}

void removeKeyTree(HKEY root, const std::string& path) {
  RegDeleteTreeA(root, path.c_str());
  RegDeleteKeyA(root, path.c_str());
}

std::string ownUserSid() {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  std::vector<unsigned char> buffer(512);
  DWORD size = static_cast<DWORD>(buffer.size());
  std::string sid;
  char* text = nullptr;
  if (GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
      ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
    sid = text;
    LocalFree(text);
  }
  CloseHandle(token);
  return sid;
}

bool shellProcessRuns() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry)) {
    found = _stricmp(entry.szExeFile, "explorer.exe") == 0;
  }
  CloseHandle(snapshot);
  return found;
}

std::string readLog(const std::filesystem::path& profile) {
  std::ifstream file(profile / "vondraReg.log", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool matchesPattern(const std::string& text, const std::string& pattern) {
  std::size_t t = 0;
  std::size_t p = 0;
  while (p < pattern.size()) {
    if (pattern.compare(p, 3, "<n>") == 0) {
      if (t < text.size() && text[t] == '-') ++t;
      const std::size_t digits = t;
      while (t < text.size() && std::isdigit(static_cast<unsigned char>(text[t]))) ++t;
      if (t == digits) return false;
      p += 3;
    } else if (pattern.compare(p, 6, "<line>") == 0) {
      while (t < text.size() && text[t] != '\n') ++t;
      p += 6;
    } else {
      if (t >= text.size() || text[t] != pattern[p]) return false;
      ++t;
      ++p;
    }
  }
  return t == text.size();
}

std::string systemMessage(DWORD code) {
  char* message = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&message), 0, nullptr);
  std::string text = length && message ? std::string(message, length) : std::string();
  LocalFree(message);
  return text;
}

}  // namespace harness
