#include "platform/PropertyListFile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits>

#include "platform/AtomicFile.h"
#include "platform/DescriptorBytes.h"
#include "platform/BinaryPlistObjects.h"
#include "platform/LibplistInputCheck.h"
#include "platform/PathBeneath.h"
#include "platform/PlistHandle.h"
#include "platform/UniqueFd.h"
#include "platform/XmlPlistReader.h"
#include "platform/XmlPlistWriter.h"

namespace platform::PropertyListFile {
namespace {

constexpr std::string_view kBinaryMagic = "bplist00";
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view trimmed(std::string_view text) {
  if (text.starts_with(kUtf8ByteOrderMark)) text.remove_prefix(kUtf8ByteOrderMark.size());
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

bool startsWithUtf16ByteOrderMark(std::string_view bytes) {
  return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
}

std::optional<PlistValue> parseBinary(std::string_view bytes) {
  BinaryPlistObjects objects(bytes);
  if (bytes.size() > std::numeric_limits<uint32_t>::max() || !objects.readTrailer() ||
      !binaryPlistIsSafeForLibplist(bytes)) {
    return std::nullopt;
  }
  plist_t raw = nullptr;
  plist_from_bin(bytes.data(), static_cast<uint32_t>(bytes.size()), &raw);
  PlistHandle root(raw);
  if (!root) return std::nullopt;
  return fromBinaryPlistNode(root.get(), objects);
}

// The whole file, when it is one this system reads (see read()).
std::optional<std::string> fileBytes(const std::string& path, Links links) {
  // O_NONBLOCK keeps a FIFO at the path from blocking the open; only regular files are read.
  constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  UniqueFd fd = links == Links::RefuseOnThePath
                    ? openWithoutLinks(path, kFlags)
                    : UniqueFd(::open(path.c_str(), kFlags | (links == Links::Refuse ? O_NOFOLLOW : 0)));
  if (!fd.valid()) return std::nullopt;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      (links != Links::Follow && info.st_nlink != 1)) {
    return std::nullopt;
  }
  return readWhole(fd.get(), kMaxFileBytes);
}

}  // namespace

std::optional<PlistValue> parse(std::string_view bytes) {
  if (bytes.starts_with(kBinaryMagic)) return parseBinary(bytes);
  if (startsWithUtf16ByteOrderMark(bytes)) return parseXmlPlist(bytes);
  const std::string_view text = trimmed(bytes);
  // The older text form's root is a dictionary or an array, so "<" can only start XML.
  if (!text.empty() && text.front() == '<') return parseXmlPlist(text);
  return OldStylePlistParser::parse(text);
}

std::optional<PlistValue> read(const std::string& path, Links links) {
  const auto bytes = fileBytes(path, links);
  if (!bytes) return std::nullopt;
  return parse(*bytes);
}

std::string toXml(const PlistValue& value) { return toXmlPlist(value).value_or(""); }

std::error_code write(const std::string& path, const PlistValue& value) {
  const auto xml = toXmlPlist(value);
  if (!xml) return std::make_error_code(std::errc::invalid_argument);
  return replaceFileAtomically(path, *xml);
}

}  // namespace platform::PropertyListFile
