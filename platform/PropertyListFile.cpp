#include "platform/PropertyListFile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <limits>

#include "platform/AtomicFile.h"
#include "platform/LibplistInputCheck.h"
#include "platform/PlistHandle.h"
#include "platform/UniqueFd.h"

namespace platform::PropertyListFile {
namespace {

constexpr std::string_view kBinaryMagic = "bplist00";
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
// Larger files are no property list this system reads; libplist takes 32-bit lengths anyway.
constexpr size_t kMaxFileSize = 64u << 20;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view trimmed(std::string_view text) {
  if (text.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark) {
    text.remove_prefix(kUtf8ByteOrderMark.size());
  }
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

// libplist 2.2 accepts a document cut off after its root value (the closing "</plist>"
// missing); such a file was torn while written and is refused.
bool isWholeXmlDocument(std::string_view text) {
  if (text.find("<plist") == std::string_view::npos) return !text.empty() && text.back() == '>';
  return text.size() >= 8 && text.substr(text.size() - 8) == "</plist>";
}

std::optional<PlistValue> parseWithLibplist(std::string_view bytes, bool binary) {
  if (bytes.size() > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  plist_t raw = nullptr;
  const auto length = static_cast<uint32_t>(bytes.size());
  if (binary) {
    plist_from_bin(bytes.data(), length, &raw);
  } else {
    plist_from_xml(bytes.data(), length, &raw);
  }
  PlistHandle root(raw);
  if (!root) return std::nullopt;
  return fromPlistNode(root.get());
}

}  // namespace

std::optional<PlistValue> parse(std::string_view bytes) {
  if (bytes.substr(0, kBinaryMagic.size()) == kBinaryMagic) {
    if (!binaryPlistIsSafeForLibplist(bytes)) return std::nullopt;
    return parseWithLibplist(bytes, true);
  }
  const std::string_view text = trimmed(bytes);
  // The older text form's root is a dictionary or an array, so "<" can only start XML.
  if (!text.empty() && text.front() == '<') {
    if (!isWholeXmlDocument(text) || !xmlPlistIsSafeForLibplist(text)) return std::nullopt;
    return parseWithLibplist(text, false);
  }
  return OldStylePlistParser::parse(text);
}

std::optional<PlistValue> read(const std::string& path) {
  // O_NONBLOCK keeps a FIFO at the path from blocking the open; only regular files are read.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd.valid()) return std::nullopt;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<size_t>(info.st_size) > kMaxFileSize) {
    return std::nullopt;
  }
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
    if (bytes.size() > kMaxFileSize) return std::nullopt;
  }
  return parse(bytes);
}

std::string toXml(const PlistValue& value) {
  PlistHandle root = toPlistNode(value);
  if (!root) return {};
  char* raw = nullptr;
  uint32_t length = 0;
  plist_to_xml(root.get(), &raw, &length);
  if (raw == nullptr) return {};
  std::string xml(raw, length);
  plist_to_xml_free(raw);
  return xml;
}

std::error_code write(const std::string& path, const PlistValue& value) {
  const std::string xml = toXml(value);
  if (xml.empty()) return std::make_error_code(std::errc::invalid_argument);
  return replaceFileAtomically(path, xml);
}

}  // namespace platform::PropertyListFile
