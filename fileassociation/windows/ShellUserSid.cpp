#include "ShellUserSid.h"

#include <windows.h>
#include <sddl.h>
#include <tlhelp32.h>

#include <cctype>
#include <string_view>
#include <vector>

#include "VondraRegConstants.h"
#include "WinResource.h"

namespace vondra {
namespace {

std::optional<DWORD> tokenSessionId(HANDLE token) {
  DWORD session = 0;
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenSessionId, &session, sizeof session, &size)) return std::nullopt;
  return session;
}

UniqueHandle processToken(DWORD processId, DWORD tokenAccess) {
  UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
  UniqueHandle token;
  if (process) OpenProcessToken(process.get(), tokenAccess, token.receive());
  return token;
}

std::optional<DWORD> callerSessionId() {
  const UniqueHandle token = processToken(GetCurrentProcessId(), TOKEN_QUERY);
  if (!token) return std::nullopt;
  return tokenSessionId(token.get());
}

bool isShellExecutable(const char* exeFile) {
  const std::string_view name(exeFile);
  const std::string_view shell(kShellExecutable);
  if (name.size() != shell.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != shell[i]) return false;
  }
  return true;
}

UniqueHandle shellTokenInSession(DWORD session) {
  UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return {};
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry)) {
    entry.szExeFile[sizeof entry.szExeFile - 1] = '\0';
    if (!isShellExecutable(entry.szExeFile)) continue;
    UniqueHandle token = processToken(entry.th32ProcessID, TOKEN_ALL_ACCESS);
    if (token && tokenSessionId(token.get()) == session) return token;
  }
  return {};
}

std::optional<std::string> tokenUserSid(HANDLE token) {
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size < sizeof(TOKEN_USER)) return std::nullopt;
  std::vector<unsigned char> buffer(size);
  if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return std::nullopt;
  const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
  LocalMemory<char> text;
  if (!ConvertSidToStringSidA(user->User.Sid, text.receive()) || !text) return std::nullopt;
  return std::string(text.get());
}

}  // namespace

std::optional<std::string> findShellUserSid() {
  const auto session = callerSessionId();
  if (!session) return std::nullopt;
  const UniqueHandle shellToken = shellTokenInSession(*session);
  if (!shellToken) return std::nullopt;
  return tokenUserSid(shellToken.get());
}

}  // namespace vondra
