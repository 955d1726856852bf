#include "platform/LibplistInputCheck.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace platform {
namespace {

constexpr size_t kHeaderSize = 8;  // "bplist00"
constexpr size_t kTrailerSize = 32;
constexpr uint8_t kIntegerMarker = 0x1;
constexpr uint8_t kUtf16StringMarker = 0x6;
constexpr uint8_t kArrayMarker = 0xA;
constexpr uint8_t kOrderedSetMarker = 0xB;
constexpr uint8_t kSetMarker = 0xC;
constexpr uint8_t kDictionaryMarker = 0xD;

// A big-endian unsigned number of size bytes at offset; none when it does not fit.
std::optional<uint64_t> bigEndian(std::string_view bytes, uint64_t offset, uint64_t size) {
  if (size == 0 || size > 8 || offset > bytes.size() || size > bytes.size() - offset) {
    return std::nullopt;
  }
  uint64_t value = 0;
  for (uint64_t i = 0; i < size; ++i) {
    value = value << 8 | static_cast<uint8_t>(bytes[offset + i]);
  }
  return value;
}

class BinaryPlist {
 public:
  explicit BinaryPlist(std::string_view bytes) : bytes_(bytes) {}

  // False when the trailer is unusable (libplist refuses such input itself).
  bool readTrailer() {
    if (bytes_.size() < kHeaderSize + kTrailerSize) return false;
    const uint64_t trailer = bytes_.size() - kTrailerSize;
    const auto offsetSize = bigEndian(bytes_, trailer + 6, 1);
    const auto referenceSize = bigEndian(bytes_, trailer + 7, 1);
    const auto count = bigEndian(bytes_, trailer + 8, 8);
    const auto top = bigEndian(bytes_, trailer + 16, 8);
    const auto table = bigEndian(bytes_, trailer + 24, 8);
    if (!offsetSize || !referenceSize || !count || !top || !table || *offsetSize == 0 ||
        *offsetSize > 8 || *referenceSize == 0 || *referenceSize > 8 || *table > trailer ||
        *count > (trailer - *table) / *offsetSize) {
      return false;
    }
    offsetSize_ = *offsetSize;
    referenceSize_ = *referenceSize;
    objectCount_ = *count;
    topObject_ = *top;
    tableOffset_ = *table;
    return true;
  }

  uint64_t objectCount() const { return objectCount_; }
  uint64_t topObject() const { return topObject_; }

  std::optional<uint64_t> offsetOf(uint64_t object) const {
    if (object >= objectCount_) return std::nullopt;
    return bigEndian(bytes_, tableOffset_ + object * offsetSize_, offsetSize_);
  }

  // Marker type (high nibble), element count and where the elements start.
  struct Header {
    uint8_t type;
    uint64_t count;
    uint64_t start;
  };
  std::optional<Header> headerOf(uint64_t object) const {
    const auto offset = offsetOf(object);
    if (!offset) return std::nullopt;
    const auto marker = bigEndian(bytes_, *offset, 1);
    if (!marker) return std::nullopt;
    const auto type = static_cast<uint8_t>(*marker >> 4);
    if ((*marker & 0xF) != 0xF) return Header{type, *marker & 0xF, *offset + 1};
    const auto lengthMarker = bigEndian(bytes_, *offset + 1, 1);
    if (!lengthMarker || (*lengthMarker >> 4) != kIntegerMarker) return std::nullopt;
    const uint64_t lengthSize = uint64_t{1} << (*lengthMarker & 0xF);
    const auto count = bigEndian(bytes_, *offset + 2, lengthSize);
    if (!count) return std::nullopt;
    return Header{type, *count, *offset + 2 + lengthSize};
  }

  bool utf16HoldsNul(const Header& header) const {
    if (header.start > bytes_.size() || header.count > (bytes_.size() - header.start) / 2) {
      return false;
    }
    for (uint64_t i = 0; i < header.count; ++i) {
      if (bytes_[header.start + 2 * i] == '\0' && bytes_[header.start + 2 * i + 1] == '\0') {
        return true;
      }
    }
    return false;
  }

  // The objects a container refers to (a dictionary's keys and values); references that do
  // not fit the file are left out.
  std::vector<uint64_t> childrenOf(const Header& header) const {
    std::vector<uint64_t> children;
    uint64_t references = 0;
    if (header.type == kArrayMarker || header.type == kSetMarker ||
        header.type == kOrderedSetMarker) {
      references = header.count;
    } else if (header.type == kDictionaryMarker && header.count <= UINT64_MAX / 2) {
      references = header.count * 2;
    }
    if (header.start > bytes_.size() ||
        references > (bytes_.size() - header.start) / referenceSize_) {
      return children;
    }
    for (uint64_t i = 0; i < references; ++i) {
      if (auto child = bigEndian(bytes_, header.start + i * referenceSize_, referenceSize_)) {
        children.push_back(*child);
      }
    }
    return children;
  }

 private:
  std::string_view bytes_;
  uint64_t offsetSize_ = 0;
  uint64_t referenceSize_ = 0;
  uint64_t objectCount_ = 0;
  uint64_t topObject_ = 0;
  uint64_t tableOffset_ = 0;
};

// Longest chain of containers from the top object, walked without recursion; each object is
// measured once, so shared objects cost nothing extra. None for a container that (through
// others) holds itself.
std::optional<int> nestingDepth(const BinaryPlist& plist) {
  enum class State : uint8_t { Unseen, OnPath, Done };
  std::vector<State> state(plist.objectCount(), State::Unseen);
  std::vector<int> depth(plist.objectCount(), 0);
  struct Frame {
    uint64_t object;
    std::vector<uint64_t> children;
    size_t next = 0;
  };
  std::vector<Frame> path;
  auto enter = [&](uint64_t object) {
    state[object] = State::OnPath;
    const auto header = plist.headerOf(object);
    path.push_back({object, header ? plist.childrenOf(*header) : std::vector<uint64_t>{}});
  };
  if (plist.topObject() >= plist.objectCount()) return 0;
  enter(plist.topObject());
  while (!path.empty()) {
    Frame& frame = path.back();
    if (frame.next == frame.children.size()) {
      const auto header = plist.headerOf(frame.object);
      const bool container = header && !frame.children.empty();
      int deepest = 0;
      for (uint64_t child : frame.children) {
        if (child < plist.objectCount()) deepest = std::max(deepest, depth[child]);
      }
      depth[frame.object] = deepest + (container ? 1 : 0);
      state[frame.object] = State::Done;
      path.pop_back();
      continue;
    }
    const uint64_t child = frame.children[frame.next++];
    if (child >= plist.objectCount()) continue;
    if (state[child] == State::OnPath) return std::nullopt;
    if (state[child] == State::Unseen) {
      if (path.size() > static_cast<size_t>(kMaxPlistNesting)) return kMaxPlistNesting + 1;
      enter(child);
    }
  }
  return depth[plist.topObject()];
}

}  // namespace

bool binaryPlistIsSafeForLibplist(std::string_view bytes) {
  BinaryPlist plist(bytes);
  if (!plist.readTrailer()) return true;
  for (uint64_t object = 0; object < plist.objectCount(); ++object) {
    const auto header = plist.headerOf(object);
    if (header && header->type == kUtf16StringMarker && plist.utf16HoldsNul(*header)) {
      return false;
    }
  }
  const auto depth = nestingDepth(plist);
  return depth && *depth <= kMaxPlistNesting;
}

}  // namespace platform
