#pragma once
// How large a property list is once every shared object is written out where it is used: the
// binary form lets one object be referred to from many places, and a reader builds a copy for
// each use, so 40 arrays that each refer twice to the next make a file of a few hundred bytes
// that stands for 2^40 values. Every reader measures the document this way before (binary) or
// while (XML, older text form) it builds values, and refuses it past kMaxPlistExpandedSize.
//
// Each value counts kExpandedValueCost (about what a value takes in memory), and a text, key or
// data counts its length on top; a dictionary entry counts its key and its value. Records of
// this system are a few hundred bytes by this measure; 16 MiB allows 262144 values at most,
// which the readers build in tens of MB.
#include <cstdint>

namespace platform {

inline constexpr std::uint64_t kExpandedValueCost = 64;
inline constexpr std::uint64_t kMaxPlistExpandedSize = 16 * 1024 * 1024;

// The expanded size of one value (without what it holds).
constexpr std::uint64_t expandedSizeOfValue(std::uint64_t length) {
  return length > kMaxPlistExpandedSize ? kMaxPlistExpandedSize + 1 : kExpandedValueCost + length;
}

// Sum that stops just past the limit, so nothing a file says can overflow it.
constexpr std::uint64_t addExpandedSizes(std::uint64_t a, std::uint64_t b) {
  return a + b > kMaxPlistExpandedSize ? kMaxPlistExpandedSize + 1 : a + b;
}

// The running total of a reader that builds values one by one.
class PlistExpandedBudget {
 public:
  // Counts one value of the given length; false once the document is past the limit.
  bool take(std::uint64_t length) {
    used_ = addExpandedSizes(used_, expandedSizeOfValue(length));
    return used_ <= kMaxPlistExpandedSize;
  }

 private:
  std::uint64_t used_ = 0;
};

}  // namespace platform
