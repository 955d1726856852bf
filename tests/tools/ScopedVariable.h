#pragma once
// Sets an environment variable for the life of the object; programs started meanwhile inherit it.
#include <cstdlib>
#include <string>

namespace testing_support {

class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) { ::setenv(name, value.c_str(), 1); }
  ~ScopedVariable() { ::unsetenv(name_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
};

}  // namespace testing_support
