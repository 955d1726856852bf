#pragma once
// Path texts taken apart by their "/" separators only: nothing is resolved on disk.
#include <string>

namespace support::path_text {

// The path without its last component: "/a/b" gives "/a", "/a" and "/" give "/", "a" and ""
// give "". Trailing separators are ignored, and the result keeps none except a lone "/".
inline std::string deletingLastPathComponent(const std::string& path) {
  std::string::size_type end = path.find_last_not_of('/');
  if (end == std::string::npos) return path.empty() ? "" : "/";
  std::string::size_type slash = path.rfind('/', end);
  if (slash == std::string::npos) return "";
  std::string::size_type parentEnd = path.find_last_not_of('/', slash);
  if (parentEnd == std::string::npos) return "/";
  return path.substr(0, parentEnd + 1);
}

// The last component: "/a/b/" gives "b", "/" gives "/", "" gives "".
inline std::string lastPathComponent(const std::string& path) {
  std::string::size_type end = path.find_last_not_of('/');
  if (end == std::string::npos) return path.empty() ? "" : "/";
  std::string::size_type slash = path.rfind('/', end);
  std::string::size_type begin = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(begin, end + 1 - begin);
}

}  // namespace support::path_text
