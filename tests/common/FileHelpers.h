#pragma once
// Small file helpers shared by the tests of every area.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

inline std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

inline void writeWholeFile(const std::string& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

// The bytes of a file; none when it cannot be opened.
inline std::optional<std::string> bytesOf(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

// Moves the entry at `path` to `path` + `asideSuffix` and puts a link to `target` in its place,
// as an attacker swapping a folder would; true when both steps worked.
inline bool swapForLink(const std::filesystem::path& path, const std::filesystem::path& target,
                        const std::string& asideSuffix) {
  std::error_code error;
  std::filesystem::rename(path, path.string() + asideSuffix, error);
  if (!error) std::filesystem::create_directory_symlink(target, path, error);
  return !error;
}

// Writes the text, making the folders above the file first.
inline void writeFile(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Names in a folder, sorted; links are listed, never followed.
inline std::vector<std::string> folderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace testing_support
