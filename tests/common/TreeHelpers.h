#pragma once
// Helpers of the tests that build and inspect real trees.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "platform/UniqueFd.h"

namespace testing_support {

inline struct stat lstatOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
  return status;
}

inline bool entryExists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

inline void makeFolders(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  ASSERT_FALSE(error) << path;
}

inline platform::UniqueFd openFolder(const std::string& path, int flags = O_RDONLY) {
  return platform::UniqueFd(::open(path.c_str(), flags | O_DIRECTORY | O_CLOEXEC));
}

}  // namespace testing_support
