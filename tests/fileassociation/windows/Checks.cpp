#include "Checks.h"

#include <cstdio>

namespace harness {
namespace {

int failures = 0;
std::vector<std::string> traces;

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

void expect(bool condition, const std::string& what, std::source_location where) {
  if (condition) return;
  ++failures;
  std::fprintf(stderr, "FAILED %s:%u", where.file_name(), static_cast<unsigned>(where.line()));
  for (const auto& trace : traces) std::fprintf(stderr, " [%s]", trace.c_str());
  std::fprintf(stderr, "\n  %s\n", what.c_str());
}

std::string describe(const std::string& text) { return quoted(text); }

std::string describe(const char* text) { return text ? quoted(text) : "null"; }

std::string describe(const std::optional<std::string>& text) { return text ? quoted(*text) : "null"; }

std::string describe(const std::vector<std::optional<std::string>>& texts) {
  std::string out = "{";
  for (const auto& text : texts) out += (out.size() > 1 ? ", " : "") + describe(text);
  return out + "}";
}

std::string describe(const std::optional<std::vector<std::optional<std::string>>>& texts) {
  return texts ? describe(*texts) : "null";
}

int failureCount() { return failures; }

Trace::Trace(std::string context) { traces.push_back(std::move(context)); }

Trace::~Trace() { traces.pop_back(); }

}  // namespace harness
