#pragma once
// A file URL: the absolute path of an existing file, as getURL makes it.
#include <string>
#include <utility>

namespace macassoc {

class FileUrl {
 public:
  explicit FileUrl(std::string path) : _path(std::move(path)) {}

  const std::string& path() const { return _path; }

 private:
  std::string _path;
};

}  // namespace macassoc
