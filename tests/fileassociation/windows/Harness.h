// What the test groups of the Wine harness share.
#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>

#include "FakeJvm.h"
#include "VondraRegLibrary.h"

namespace harness {

// Every test key lies below this key of HKEY_CURRENT_USER.
inline const std::string kTestKey = "Software\\vondraRegTest";

struct Harness {
  FakeJvm jvm;
  VondraRegLibrary lib;
  // A folder of the harness's own, emptied at the start of a run.
  std::filesystem::path work;

  JNIEnv* env() { return jvm.env(); }
  jstring string(const std::string& text) { return jvm.string(text); }
};

// The harness's own view of the registry, through the wide-character calls.
struct RawValue {
  DWORD type;
  std::string bytes;
};
bool keyExists(HKEY root, const std::string& path);
std::optional<RawValue> readRawValue(HKEY root, const std::string& path, const char* name);
std::optional<std::wstring> readWideText(HKEY root, const std::string& path, const char* name);
void writeRawValue(HKEY root, const std::string& path, const char* name, DWORD type, const std::string& bytes);
void removeKeyTree(HKEY root, const std::string& path);

// The SID of the user the harness runs as, and whether a shell process runs at all.
std::string ownUserSid();
bool shellProcessRuns();

// The library's log file inside a profile folder, read whole; empty when there is none.
std::string readLog(const std::filesystem::path& profile);

// Whether a text matches a pattern in which "<n>" stands for a decimal number and "<line>" for
// the rest of a line.
bool matchesPattern(const std::string& text, const std::string& pattern);

// The system's message for an error code, as the library logs it.
std::string systemMessage(DWORD code);

void userHiveTests(Harness& harness);
void diagnosticLogTests(Harness& harness);
void registryTests(Harness& harness);
void enumerationTests(Harness& harness);
void shortcutTests(Harness& harness);
void versionTests(Harness& harness);
int checkVersionAsChild(Harness& harness, bool expectVistaOrLater);

}  // namespace harness
