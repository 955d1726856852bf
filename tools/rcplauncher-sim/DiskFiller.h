#pragma once
// Fills the file system of a folder to the last byte with one file, and frees it again, so that
// tests can give a program a full disk between and after launcher runs.
#include <string>

namespace rcpsim {

inline constexpr const char* kFillerName = ".rcpsim_filler";

// Writes zeros to <folder>/.rcpsim_filler until the file system refuses more. False when the
// file could not be made.
bool fillFileSystem(const std::string& folder);

// Removes the filler file, if any.
void freeFileSystem(const std::string& folder);

}  // namespace rcpsim
