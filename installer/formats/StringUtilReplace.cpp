#include "installer/formats/StringUtil.h"

namespace support::StringUtil {

// Searching from the end resolves overlapping occurrences from the end: "aaa" with "aa"
// replaced by "b" gives "ab". An empty target has no occurrences.
std::string stringByReplacingOccurrencesOfStringTargetWithString(const std::string& source,
                                                                 const std::string& target,
                                                                 const std::string& replacement) {
  std::string result = source;
  if (target.empty() || target.size() > result.size()) return result;
  std::size_t searchFrom = result.size() - target.size();
  while (true) {
    std::size_t found = result.rfind(target, searchFrom);
    if (found == std::string::npos) break;
    result.replace(found, target.size(), replacement);
    if (found < target.size()) break;
    searchFrom = found - target.size();
  }
  return result;
}

}  // namespace support::StringUtil
