#pragma once
// Ownership of libplist nodes and the conversion between them and PlistValue.
#include <plist/plist.h>

#include <memory>
#include <optional>
#include <type_traits>

#include "platform/PlistValue.h"

namespace platform {

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
// Owns one libplist root node (and with it every node below).
using PlistHandle = std::unique_ptr<std::remove_pointer_t<plist_t>, PlistFree>;

// A libplist tree for the value; null when libplist cannot carry it: a text with a NUL byte,
// invalid UTF-8 or a control character that XML forbids, or a date outside the seconds
// libplist 2.2 keeps (a 32-bit count from 2001, about 1933 to 2069). Dates keep whole seconds
// (rounded down), as the XML form writes them.
PlistHandle toPlistNode(const PlistValue& value);

// The value of a libplist node; none for node types a property list does not hold (a bare
// key, no type). Identifiers of keyed archives (UID) become integers; unsigned integers above
// the signed range wrap, as libplist hands them over.
std::optional<PlistValue> fromPlistNode(plist_t node);

}  // namespace platform
