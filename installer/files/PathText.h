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

// The component appended with one "/" between, however many the base ends with or the
// component starts with: "/a//" and "/b" give "/a/b", "/" and "b" give "/b", "" and "/b" give "b".
inline std::string appendPathComponent(const std::string& base, const std::string& component) {
  std::string::size_type skip = component.find_first_not_of('/');
  std::string tail = skip == std::string::npos ? "" : component.substr(skip);
  if (base.empty()) return tail;
  if (tail.empty()) return base;
  std::string::size_type end = base.find_last_not_of('/');
  if (end == std::string::npos) return "/" + tail;
  return base.substr(0, end + 1) + "/" + tail;
}

}  // namespace support::path_text
