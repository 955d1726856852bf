// Failure reporting of the Wine harness, in the manner of a unit-test framework: each failed
// expectation prints its place, the traces around it and what differed; the run goes on.
#pragma once

#include <optional>
#include <source_location>
#include <sstream>
#include <string>
#include <vector>

namespace harness {

void expect(bool condition, const std::string& what, std::source_location where = std::source_location::current());

std::string describe(const std::string& text);
std::string describe(const char* text);
std::string describe(const std::optional<std::string>& text);
std::string describe(const std::vector<std::optional<std::string>>& texts);
std::string describe(const std::optional<std::vector<std::optional<std::string>>>& texts);
template <class T>
std::string describe(const T& value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

template <class Actual, class Expected>
void expectEqual(const Actual& actual, const Expected& expected, const std::string& what,
                 std::source_location where = std::source_location::current()) {
  const bool equal = actual == expected;
  expect(equal, equal ? what : what + "\n    actual:   " + describe(actual) + "\n    expected: " + describe(expected), where);
}

int failureCount();

// Names the case that the expectations inside its scope belong to.
class Trace {
 public:
  explicit Trace(std::string context);
  ~Trace();
  Trace(const Trace&) = delete;
  Trace& operator=(const Trace&) = delete;
};

}  // namespace harness
