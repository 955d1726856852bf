#include "platform/LibplistInputCheck.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/BinaryPlistObjects.h"

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

// Longest chain of containers from the top object, walked without recursion; each object is
// measured once, so shared objects cost nothing extra. None for a container that (through
// others) holds itself, and once the path alone is deeper than the limit.
std::optional<int> nestingDepth(const Objects& plist) {
  enum class State : uint8_t { Unseen, OnPath, Done };
  std::vector<State> state(plist.objectCount(), State::Unseen);
  std::vector<int> depth(plist.objectCount());
  struct Frame {
    uint64_t object;
    std::vector<uint64_t> children;
    size_t next = 0;
  };
  std::vector<Frame> path;
  auto enter = [&](uint64_t object) {
    state[object] = State::OnPath;
    const auto header = plist.headerOf(object);
    path.push_back({object, header ? childrenOf(plist, *header) : std::vector<uint64_t>{}});
  };
  if (plist.topObject() >= plist.objectCount()) return 0;
  enter(plist.topObject());
  while (!path.empty()) {
    Frame& frame = path.back();
    if (frame.next == frame.children.size()) {
      const Frame done = std::move(frame);
      path.pop_back();
      int deepest = 0;
      for (uint64_t child : done.children) {
        if (child < plist.objectCount()) deepest = std::max(deepest, depth[child]);
      }
      // A container is one level above its deepest child; an empty one counts none, as a scalar.
      depth[done.object] = done.children.empty() ? 0 : deepest + 1;
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
  return depth[plist.topObject()];
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
  const auto depth = nestingDepth(plist);
  return depth && *depth <= kMaxPlistNesting;
}

}  // namespace platform
