#pragma once
// A property-list value: string, integer, real, boolean, date, data, array or dictionary.
// Dictionaries keep their keys sorted (as the platform's own writer emits them).
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
  enum class Type { String, Integer, Real, Boolean, Date, Data, Array, Dictionary };

  PlistValue() : value_(PlistDictionary{}) {}
  PlistValue(std::string s) : value_(std::move(s)) {}
  PlistValue(const char* s) : value_(std::string(s)) {}
  PlistValue(std::int64_t i) : value_(i) {}
  PlistValue(int i) : value_(static_cast<std::int64_t>(i)) {}
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

  bool operator==(const PlistValue&) const = default;

 private:
  // Order matches Type.
  std::variant<std::string, std::int64_t, double, bool, PlistDate, PlistData, PlistArray,
               PlistDictionary>
      value_;
};

}  // namespace platform
