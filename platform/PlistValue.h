#pragma once
// A property-list value: string, integer, real, boolean, date, data, array or dictionary.
// Dictionaries keep their keys sorted (as the platform's own writer emits them).
// Integers cover -2^63 .. 2^64-1 as other property-list readers do: values up to 2^63-1 are
// Integer (int64), larger ones UnsignedInteger (uint64), so each number has one form.
#include <bit>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace platform {

class PlistValue;
using PlistArray = std::vector<PlistValue>;
using PlistDictionary = std::map<std::string, PlistValue>;

// A date is seconds since 2001-01-01 00:00:00 UTC, as property lists count them.
struct PlistDate {
  double secondsSince2001 = 0;
  bool operator==(const PlistDate&) const = default;
};
using PlistData = std::vector<std::uint8_t>;

class PlistValue {
 public:
  enum class Type { String, Integer, Real, Boolean, Date, Data, Array, Dictionary, UnsignedInteger };

  PlistValue() : value_(PlistDictionary{}) {}
  PlistValue(std::string s) : value_(std::move(s)) {}
  PlistValue(const char* s) : value_(std::string(s)) {}
  PlistValue(std::int64_t i) : value_(i) {}
  PlistValue(int i) : value_(static_cast<std::int64_t>(i)) {}
  PlistValue(std::uint64_t u) {
    if (u <= static_cast<std::uint64_t>(INT64_MAX)) {
      value_ = static_cast<std::int64_t>(u);
    } else {
      value_ = u;
    }
  }
  PlistValue(double d) : value_(d) {}
  PlistValue(bool b) : value_(b) {}
  PlistValue(PlistDate d) : value_(d) {}
  PlistValue(PlistData d) : value_(std::move(d)) {}
  PlistValue(PlistArray a) : value_(std::move(a)) {}
  PlistValue(PlistDictionary d) : value_(std::move(d)) {}

  Type type() const { return static_cast<Type>(value_.index()); }

  // Typed access: null when the value has another type.
  const std::string* asString() const { return std::get_if<std::string>(&value_); }
  const std::int64_t* asInteger() const { return std::get_if<std::int64_t>(&value_); }
  const std::uint64_t* asUnsignedInteger() const { return std::get_if<std::uint64_t>(&value_); }
  const double* asReal() const { return std::get_if<double>(&value_); }
  const bool* asBoolean() const { return std::get_if<bool>(&value_); }
  const PlistDate* asDate() const { return std::get_if<PlistDate>(&value_); }
  const PlistData* asData() const { return std::get_if<PlistData>(&value_); }
  const PlistArray* asArray() const { return std::get_if<PlistArray>(&value_); }
  PlistArray* asArray() { return std::get_if<PlistArray>(&value_); }
  const PlistDictionary* asDictionary() const { return std::get_if<PlistDictionary>(&value_); }
  PlistDictionary* asDictionary() { return std::get_if<PlistDictionary>(&value_); }

  // The text of a string value, or none for any other type.
  std::optional<std::string> stringValue() const {
    if (const auto* s = asString()) return *s;
    return std::nullopt;
  }

  // Reals are equal when their bits are: -0.0 is not 0.0 and a NaN equals itself, so a value
  // read back is "the same" only when it is exactly what was written.
  bool operator==(const PlistValue& other) const {
    const double* mine = asReal();
    const double* theirs = other.asReal();
    if (mine != nullptr && theirs != nullptr) {
      return std::bit_cast<std::uint64_t>(*mine) == std::bit_cast<std::uint64_t>(*theirs);
    }
    return value_ == other.value_;
  }

 private:
  // Order matches Type.
  std::variant<std::string, std::int64_t, double, bool, PlistDate, PlistData, PlistArray,
               PlistDictionary, std::uint64_t>
      value_;
};

}  // namespace platform
