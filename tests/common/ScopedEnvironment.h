#pragma once
// Sets (or, for none, unsets) an environment variable for one scope and then restores it;
// programs started meanwhile inherit it.
#include <cstdlib>
#include <optional>
#include <string>

namespace testing_support {

class ScopedEnvironment {
 public:
  ScopedEnvironment(std::string name, const std::optional<std::string>& value)
      : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) saved_ = old;
    apply(value);
  }
  ~ScopedEnvironment() { apply(saved_); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  void apply(const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }
  std::string name_;
  std::optional<std::string> saved_;
};

}  // namespace testing_support
