#pragma once
// Checks made before libplist 2.2 reads bytes, for input that would bring the whole process
// down inside the library rather than make it fail:
//   - its binary reader aborts (a failed assert) on a dictionary key decoded from UTF-16 that
//     holds a NUL character, and recurses once per nesting level (a deep file overflows the
//     stack);
//   - it builds a copy of an object for every reference to it, so a small file whose objects
//     share each other many times over takes all memory (PlistExpandedSize.h).
// Nothing deeper than kMaxPlistNesting levels is passed on; records of this system are a
// handful of levels deep.
#include <string_view>

namespace platform {

inline constexpr int kMaxPlistNesting = 512;

// False when the binary property list holds a UTF-16 string with a U+0000 unit, containers
// nested deeper than kMaxPlistNesting, a container that holds itself, or is larger than
// kMaxPlistExpandedSize once every reference is counted where it is used. Other structural
// damage is left for libplist to refuse.
bool binaryPlistIsSafeForLibplist(std::string_view bytes);

}  // namespace platform
