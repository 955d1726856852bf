#include "tools/rcplauncher-sim/SimOptions.h"

#include <charconv>
#include <cstdlib>
#include <string_view>

namespace rcpsim {
namespace {

std::optional<std::string_view> variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string_view(value);
}

std::optional<int> parseInteger(std::string_view text) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<SimOptions> readSimOptions() {
  SimOptions options;
  if (std::optional<std::string_view> forced = variable("RCPSIM_FORCE_RC")) {
    options.forcedResult = parseInteger(*forced);
    if (!options.forcedResult) return std::nullopt;
  }
  if (std::optional<std::string_view> noResult = variable("RCPSIM_NO_RESULT")) {
    if (*noResult != "0" && *noResult != "1") return std::nullopt;
    options.writeNoResult = *noResult == "1";
  }
  if (std::optional<std::string_view> kill = variable("RCPSIM_KILL_IN")) {
    if (*kill != "update" && *kill != "cleanup") return std::nullopt;
    options.killInOperation = std::string(*kill);
  }
  if (std::optional<std::string_view> run = variable("RCPSIM_KILL_RUN")) {
    options.killRun = parseInteger(*run);
    if (!options.killRun || *options.killRun < 1) return std::nullopt;
  }
  if (std::optional<std::string_view> fill = variable("RCPSIM_FILL_DISK")) {
    if (*fill != "0" && *fill != "1") return std::nullopt;
    options.fillDisk = *fill == "1";
  }
  return options;
}

}  // namespace rcpsim
