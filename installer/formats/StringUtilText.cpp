// Quoting, positional binding and the volume of a path. No state, no log lines.
#include <string_view>

#include "installer/files/PathText.h"
#include "installer/formats/StringUtil.h"
#include "platform/HomeFolder.h"

namespace support::StringUtil {

namespace {
constexpr const char* kVolumesFolder = "/Volumes";
constexpr std::string_view kPlaceholder = "%@";
}  // namespace

std::string addQuotesToString(const std::string& text) { return "\"" + text + "\""; }

// Walks up the path text (no links resolved) to the folder just below "/Volumes".
std::optional<std::string> getVolume(const std::optional<std::string>& path) {
  if (!path) return std::nullopt;
  if (*path == "/") return std::string("/");
  std::string current = platform::expandTildeInPath(*path);
  while (true) {
    std::string parent = path_text::deletingLastPathComponent(current);
    if (parent == kVolumesFolder) return current;
    if (parent == "/" || parent.empty()) return std::string("/");
    current = std::move(parent);
  }
}

// Placeholders without a value are filled with nothing; values beyond them are ignored.
std::string bindStringWith(const std::string& pattern, const std::vector<std::string>& args) {
  std::string result;
  std::size_t pieceStart = 0;
  std::size_t valueIndex = 0;
  for (std::size_t found = pattern.find(kPlaceholder); found != std::string::npos;
       found = pattern.find(kPlaceholder, pieceStart)) {
    result.append(pattern, pieceStart, found - pieceStart);
    if (valueIndex < args.size()) result += args[valueIndex];
    ++valueIndex;
    pieceStart = found + kPlaceholder.size();
  }
  result.append(pattern, pieceStart);
  return result;
}

// Nothing in this system marks texts for translation, so the text comes back as it is: a mark
// would only show up in what users read.
std::string addTranslationSignToString(const std::string& text) { return text; }

}  // namespace support::StringUtil
