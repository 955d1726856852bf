#pragma once
// Ownership of libplist nodes, and the value of a tree libplist read from the binary form.
#include <plist/plist.h>

#include <memory>
#include <optional>
#include <type_traits>

#include "platform/BinaryPlistObjects.h"
#include "platform/PlistValue.h"

namespace platform {

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
// Owns one libplist root node (and with it every node below).
using PlistHandle = std::unique_ptr<std::remove_pointer_t<plist_t>, PlistFree>;

// The value of the tree libplist 2.2 read from the objects' bytes, walked together with the
// objects it came from. libplist gives the structure; the leaves it hands over inexactly are
// taken from the file: integers (it wraps 2^63 .. 2^64-1 to negative and drops the upper half of
// a 16-byte one), dates (it keeps 32-bit seconds, about 1933 to 2069), texts and keys (it cuts
// at a NUL and makes a lone surrogate ""). None where the two disagree, for what PlistValue
// cannot hold (null, UID, sets, a key that is no text) and for anything other readers refuse
// (an ASCII text with bytes above 127, a real of other than 4 or 8 bytes, a date outside the
// years 1 to 9999).
std::optional<PlistValue> fromBinaryPlistNode(plist_t node, const BinaryPlistObjects& objects);

}  // namespace platform
