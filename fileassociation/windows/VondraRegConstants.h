// The library's fixed names, texts and buffer sizes, spelled as the system uses them.
#pragma once

#include <cstddef>

namespace vondra {

// The effective key path ("<SID>\<key path>" or the key path) handed to every registry call.
constexpr std::size_t kKeyPathCapacity = 1024;
// Value data, value names and sub-key names are read into buffers of this size.
constexpr unsigned long kRegistryBufferSize = 1024;
// The log path: the profile folder, a backslash and the log file name.
constexpr std::size_t kLogPathCapacity = 1024;
// The string form of the shell user's SID.
constexpr std::size_t kSidCapacity = 128;

constexpr char kProfileVariable[] = "userprofile";
constexpr char kLogFileName[] = "vondraReg.log";
// The desktop shell's executable name, compared in upper case.
constexpr char kShellExecutable[] = "EXPLORER.EXE";
// Joins a value's name and its data in a value entry.
constexpr char kValueDataSeparator[] = "**::";

// The suite's own document shortcuts, never deleted whatever they point at.
constexpr const wchar_t* kProtectedShortcuts[] = {
    L"Ostra Pelora Documents.lnk",
    L"Ostra Pelora Presentations.lnk",
    L"Ostra Pelora Spreadsheets.lnk",
};

}  // namespace vondra
