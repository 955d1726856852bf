#include "platform/LibplistInputCheck.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/BinaryPlistObjects.h"
#include "platform/PlistExpandedSize.h"

namespace platform {
namespace {

using Objects = BinaryPlistObjects;

// True when a UTF-16 string's units (as far as they fit the file) hold U+0000. A header read
// whole ends inside the file, so its start is never past the end.
bool utf16HoldsNul(std::string_view bytes, const Objects::Header& header) {
  const std::uint64_t units = std::min<std::uint64_t>(header.count, (bytes.size() - header.start) / 2);
  for (std::uint64_t i = 0; i < units; ++i) {
    if (bytes[header.start + 2 * i] == '\0' && bytes[header.start + 2 * i + 1] == '\0') return true;
  }
  return false;
}

// The objects a container refers to (a dictionary's keys and values); none for a leaf, or
// when the references do not fit the file.
std::vector<std::uint64_t> childrenOf(const Objects& plist, const Objects::Header& header) {
  const bool container = header.type == Objects::kArray || header.type == Objects::kSet ||
                         header.type == Objects::kOrderedSet || header.type == Objects::kDictionary;
  if (!container) return {};
  return plist.referencesOf(header).value_or(std::vector<std::uint64_t>{});
}

// The length a leaf adds to its expanded size: characters of a text, bytes of data.
std::uint64_t payloadLength(const Objects::Header& header) {
  const bool sized = header.type == Objects::kData || header.type == Objects::kAsciiString ||
                     header.type == Objects::kUtf16String;
  return sized ? header.count : 0;
}

struct Measure {
  int depth = 0;                  // longest chain of containers from the top object
  std::uint64_t expandedSize = 0;  // every object counted each time it is used (PlistExpandedSize.h)
};

// The top object's measure, walked without recursion; each object is measured once and its
// measure reused wherever it is referred to, so a file costs its own size however much it
// shares. None for a container that (through others) holds itself, and once the path alone is
// deeper than the limit.
std::optional<Measure> measureOf(const Objects& plist) {
  enum class State : uint8_t { Unseen, OnPath, Done };
  std::vector<State> state(plist.objectCount(), State::Unseen);
  std::vector<Measure> measures(plist.objectCount());
  struct Frame {
    uint64_t object;
    std::uint64_t ownSize;
    std::vector<uint64_t> children;
    size_t next = 0;
  };
  std::vector<Frame> path;
  auto enter = [&](uint64_t object) {
    state[object] = State::OnPath;
    const auto header = plist.headerOf(object);
    path.push_back({object, expandedSizeOfValue(header ? payloadLength(*header) : 0),
                    header ? childrenOf(plist, *header) : std::vector<uint64_t>{}});
  };
  if (plist.topObject() >= plist.objectCount()) return Measure{};
  enter(plist.topObject());
  while (!path.empty()) {
    Frame& frame = path.back();
    if (frame.next == frame.children.size()) {
      const Frame done = std::move(frame);
      path.pop_back();
      Measure measure{0, done.ownSize};
      for (uint64_t child : done.children) {
        if (child >= plist.objectCount()) continue;
        measure.depth = std::max(measure.depth, measures[child].depth);
        measure.expandedSize = addExpandedSizes(measure.expandedSize, measures[child].expandedSize);
      }
      // A container is one level above its deepest child; an empty one counts none, as a scalar.
      if (!done.children.empty()) ++measure.depth;
      measures[done.object] = measure;
      state[done.object] = State::Done;
      continue;
    }
    const uint64_t child = frame.children[frame.next++];
    if (child >= plist.objectCount()) continue;
    if (state[child] == State::OnPath) return std::nullopt;
    if (state[child] == State::Unseen) {
      if (path.size() > static_cast<size_t>(kMaxPlistNesting)) return std::nullopt;
      enter(child);
    }
  }
  return measures[plist.topObject()];
}

}  // namespace

bool binaryPlistIsSafeForLibplist(std::string_view bytes) {
  Objects plist(bytes);
  if (!plist.readTrailer()) return true;  // libplist refuses such a file itself
  for (uint64_t object = 0; object < plist.objectCount(); ++object) {
    const auto header = plist.headerOf(object);
    if (header && header->type == Objects::kUtf16String && utf16HoldsNul(bytes, *header)) {
      return false;
    }
  }
  const auto measure = measureOf(plist);
  return measure && measure->depth <= kMaxPlistNesting &&
         measure->expandedSize <= kMaxPlistExpandedSize;
}

}  // namespace platform
