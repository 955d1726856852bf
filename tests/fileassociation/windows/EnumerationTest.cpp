// The two enumerations: values as "name**::data", sub-key names, and where the count ends.
#include "Checks.h"
#include "Harness.h"

namespace harness {
namespace {

using Strings = std::optional<std::vector<std::optional<std::string>>>;

const std::string kBase = kTestKey + "\\enumeration";

Strings values(Harness& h, const std::optional<std::string>& key) {
  return h.jvm.strings(h.lib.getRegEnumValueDataPairs(h.env(), nullptr, kCurrentUser, key ? h.string(*key) : nullptr));
}

Strings subKeys(Harness& h, const std::optional<std::string>& key) {
  return h.jvm.strings(h.lib.getRegEnumSubKeys(h.env(), nullptr, kCurrentUser, key ? h.string(*key) : nullptr));
}

Strings list(std::initializer_list<const char*> texts) {
  std::vector<std::optional<std::string>> out;
  for (const char* text : texts) out.emplace_back(text ? std::optional<std::string>(text) : std::nullopt);
  return out;
}

void makeKeys() {
  const std::string full = kBase + "\\full";
  // Wine lists values by name, Windows mostly in the order they were written: names in
  // alphabetical order keep both the same.
  writeRawValue(HKEY_CURRENT_USER, full, "one", REG_SZ, std::string("1", 2));
  writeRawValue(HKEY_CURRENT_USER, full, "three", REG_BINARY, "bytes");
  writeRawValue(HKEY_CURRENT_USER, full, "two", REG_SZ, std::string("", 1));
  writeRawValue(HKEY_CURRENT_USER, full + "\\alpha", "x", REG_SZ, "");
  writeRawValue(HKEY_CURRENT_USER, full + "\\beta", "x", REG_SZ, "");

  const std::string big = kBase + "\\big";
  writeRawValue(HKEY_CURRENT_USER, big, "a", REG_SZ, std::string("x", 2));
  writeRawValue(HKEY_CURRENT_USER, big, "b-large", REG_SZ, std::string(2000, 'l') + '\0');
  writeRawValue(HKEY_CURRENT_USER, big, "c", REG_SZ, std::string("y", 2));

  const std::string unterminated = kBase + "\\unterminated";
  writeRawValue(HKEY_CURRENT_USER, unterminated, "a", REG_SZ, std::string("x", 2));
  writeRawValue(HKEY_CURRENT_USER, unterminated, "full", REG_BINARY, std::string(1024, 'f'));

  writeRawValue(HKEY_CURRENT_USER, kBase + "\\empty", nullptr, REG_SZ, std::string("", 1));
  RegDeleteKeyValueA(HKEY_CURRENT_USER, (kBase + "\\empty").c_str(), nullptr);
}

void enumerationCases(Harness& h) {
  struct Case {
    const char* name;
    Strings (*enumerate)(Harness&, const std::optional<std::string>&);
    std::optional<std::string> key;
    Strings expected;
  };
  const Case cases[] = {
      {"values", values, kBase + "\\full", list({"one**::1", "three**::bytes", "two**::"})},
      {"sub-keys", subKeys, kBase + "\\full", list({"alpha", "beta"})},
      {"values of a key without values", values, kBase + "\\empty", list({})},
      {"values of a missing key", values, kBase + "\\none", list({})},
      {"sub-keys of a missing key", subKeys, kBase + "\\none", list({})},
      {"values with a null path", values, std::nullopt, std::nullopt},
      {"sub-keys with a null path", subKeys, std::nullopt, std::nullopt},
      {"an oversized value ends the count at its index", values, kBase + "\\big", list({"a**::x"})},
      {"data that fills the buffer without a NUL ends the count", values, kBase + "\\unterminated", list({"a**::x"})},
  };
  for (const auto& c : cases) {
    Trace trace(c.name);
    expectEqual(c.enumerate(h, c.key), c.expected, "entries");
  }
}

// When Java cannot make the array the result is null; an entry Java cannot make stays null.
void outOfMemoryCases(Harness& h) {
  h.jvm.failNewArrays(true);
  expectEqual(values(h, kBase + "\\full"), Strings(), "values without room for the array");
  h.jvm.failNewArrays(true);  // the caller has caught the error
  expectEqual(subKeys(h, kBase + "\\full"), Strings(), "sub-keys without room for the array");
  h.jvm.failNewArrays(false);
  h.jvm.failNewStrings(true);
  expectEqual(subKeys(h, kBase + "\\full"), list({nullptr, nullptr}), "sub-keys without room for the strings");
  h.jvm.failNewStrings(false);
}

}  // namespace

void enumerationTests(Harness& h) {
  removeKeyTree(HKEY_CURRENT_USER, kBase);
  makeKeys();
  enumerationCases(h);
  outOfMemoryCases(h);
  expectEqual(h.jvm.pinnedStrings(), std::size_t{0}, "every string's characters were released");
  removeKeyTree(HKEY_CURRENT_USER, kBase);
}

}  // namespace harness
