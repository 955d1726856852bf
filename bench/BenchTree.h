#pragma once
// The generated tree the benchmark works on: top folders, each with subfolders, every folder
// holding the same number of small files of varied sizes.
#include <cstdint>
#include <string>

namespace bench {

struct TreeShape {
  int topFolders;
  int subfoldersPerTop;
  int filesPerFolder;
  int folders() const { return topFolders * (1 + subfoldersPerTop); }
  int files() const { return folders() * filesPerFolder; }
};

// Creates the tree at `root` (which must not exist); gives the bytes written, or -1.
std::int64_t generateTree(const std::string& root, const TreeShape& shape);

// Gives every entry below root owner and group root and mode 0755 (folders) or 0644 (files),
// so that each timed repair has all of the tree to change. Links are not followed.
bool resetAttributes(const std::string& root);

// Removes a tree without following links; true when it is gone.
bool removeTree(const std::string& root);

}  // namespace bench
