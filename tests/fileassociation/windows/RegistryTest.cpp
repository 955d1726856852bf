// Registry natives on Wine's registry, below a test key of HKEY_CURRENT_USER.
#include <functional>

#include "Checks.h"
#include "Harness.h"

namespace harness {
namespace {

using namespace std::string_literals;

const std::string kBase = kTestKey + "\\registry";

void keyFunctionTests(Harness& h) {
  auto& lib = h.lib;
  const std::string made = kBase + "\\made\\deep";
  expectEqual(lib.createRegKey(h.env(), nullptr, kCurrentUser, h.string(made)), 0L, "createRegKey of a nested key");
  expect(keyExists(HKEY_CURRENT_USER, made), "the created key exists");

  struct Case {
    const char* name;
    std::function<jint()> call;
    jint expected;
  };
  const Case cases[] = {
      {"queryRegKey of an existing key", [&] { return lib.queryRegKey(h.env(), nullptr, kCurrentUser, h.string(made)); }, 0},
      {"queryRegKey of a missing key", [&] { return lib.queryRegKey(h.env(), nullptr, kCurrentUser, h.string(kBase + "\\none")); }, -1},
      {"queryRegKey of a null path", [&] { return lib.queryRegKey(h.env(), nullptr, kCurrentUser, nullptr); }, -1},
      {"createRegKey of a null path", [&] { return lib.createRegKey(h.env(), nullptr, kCurrentUser, nullptr); }, -1},
      {"createRegKey of an empty path", [&] { return lib.createRegKey(h.env(), nullptr, kCurrentUser, h.string("")); }, -1},
      {"deleteRegKey of a null path", [&] { return lib.deleteRegKey(h.env(), nullptr, kCurrentUser, nullptr); }, -1},
      {"deleteRegKey of an empty path", [&] { return lib.deleteRegKey(h.env(), nullptr, kCurrentUser, h.string("")); }, -1},
      {"deleteRegKey of a missing key", [&] { return lib.deleteRegKey(h.env(), nullptr, kCurrentUser, h.string(kBase + "\\none")); }, -1},
      // A NUL inside the path would leave only "...\made" for the registry to see.
      {"deleteRegKey of a path with a NUL inside",
       [&] { return lib.deleteRegKey(h.env(), nullptr, kCurrentUser, h.jvm.string(u"Software\\vondraRegTest\\registry\\made\0x"s)); }, -1},
  };
  for (const auto& c : cases) {
    Trace trace(c.name);
    expectEqual(c.call(), c.expected, "result");
  }
  expect(keyExists(HKEY_CURRENT_USER, made), "the failed calls left the key in place");

  writeRawValue(HKEY_CURRENT_USER, made + "\\below", "value", REG_SZ, std::string("x", 2));
  expectEqual(lib.deleteRegKey(h.env(), nullptr, kCurrentUser, h.string(kBase + "\\made")), 0L,
              "deleteRegKey of a key with sub-keys and values");
  expect(!keyExists(HKEY_CURRENT_USER, kBase + "\\made"), "the key is gone with its sub-keys");
}

void setAndGetTests(Harness& h) {
  auto& lib = h.lib;
  const std::string key = kBase + "\\values";
  struct Case {
    const char* name;
    std::optional<std::string> valueName;
    std::optional<std::string> data;
    jint type;
    std::string storedBytes;
  };
  const Case cases[] = {
      {"text", "Name", "text", REG_SZ, std::string("text", 5)},
      {"default value", std::nullopt, "default", REG_SZ, std::string("default", 8)},
      {"no data", "Empty", std::nullopt, REG_BINARY, ""},
      {"expandable text stays as written", "Path", "%TEMP%\\x", REG_EXPAND_SZ, std::string("%TEMP%\\x", 9)},
      {"text written whatever the type", "Word", "12", REG_DWORD, std::string("12", 3)},
  };
  for (const auto& c : cases) {
    Trace trace(c.name);
    jstring name = c.valueName ? h.string(*c.valueName) : nullptr;
    jstring data = c.data ? h.string(*c.data) : nullptr;
    expectEqual(lib.setRegValue(h.env(), nullptr, kCurrentUser, h.string(key), name, data, c.type, 0, JNI_FALSE), 0L,
                "setRegValue");
    const auto stored = readRawValue(HKEY_CURRENT_USER, key, c.valueName ? c.valueName->c_str() : nullptr);
    expect(stored.has_value(), "the value exists");
    if (!stored) continue;
    expectEqual(stored->type, static_cast<DWORD>(c.type), "stored type");
    expectEqual(stored->bytes, c.storedBytes, "stored bytes");
    const auto read = h.jvm.text(lib.getRegValue(h.env(), nullptr, kCurrentUser, h.string(key), name));
    expectEqual(read, std::optional<std::string>(c.data.value_or("")), "getRegValue");
  }
}

void openExistingTests(Harness& h) {
  auto& lib = h.lib;
  const std::string missing = kBase + "\\missing";
  expectEqual(lib.setRegValue(h.env(), nullptr, kCurrentUser, h.string(missing), h.string("v"), h.string("d"), REG_SZ, 0, JNI_TRUE),
              -1L, "setRegValue with the open-existing flag on a missing key");
  expect(!keyExists(HKEY_CURRENT_USER, missing), "the missing key was not created");

  const std::string existing = kBase + "\\values";
  expectEqual(lib.setRegValue(h.env(), nullptr, kCurrentUser, h.string(existing), h.string("Again"), h.string("d"), REG_SZ, 0, JNI_TRUE),
              0L, "setRegValue with the open-existing flag on an existing key");
  expect(readRawValue(HKEY_CURRENT_USER, existing, "Again").has_value(), "the value was written");
}

void readBoundTests(Harness& h) {
  const std::string key = kBase + "\\bounds";
  struct Case {
    const char* name;
    DWORD type;
    std::string bytes;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"text that fills the buffer with its NUL", REG_SZ, std::string(1023, 'a') + '\0', std::string(1023, 'a')},
      {"text one byte too large", REG_SZ, std::string(1024, 'b') + '\0', std::nullopt},
      {"data that fills the buffer without a NUL", REG_BINARY, std::string(1024, 'c'), std::nullopt},
      {"short data without a NUL", REG_BINARY, "abc", std::string("abc")},
  };
  int index = 0;
  for (const auto& c : cases) {
    Trace trace(c.name);
    const std::string name = "v" + std::to_string(index++);
    writeRawValue(HKEY_CURRENT_USER, key, name.c_str(), c.type, c.bytes);
    const auto read = h.jvm.text(h.lib.getRegValue(h.env(), nullptr, kCurrentUser, h.string(key), h.string(name)));
    expectEqual(read, c.expected, "getRegValue");
  }
  expectEqual(h.jvm.text(h.lib.getRegValue(h.env(), nullptr, kCurrentUser, h.string(key), h.string("none"))),
              std::optional<std::string>(), "getRegValue of a missing value");
  expectEqual(h.jvm.text(h.lib.getRegValue(h.env(), nullptr, kCurrentUser, h.string(kBase + "\\none"), h.string("v0"))),
              std::optional<std::string>(), "getRegValue in a missing key");
  expectEqual(h.jvm.text(h.lib.getRegValue(h.env(), nullptr, kCurrentUser, nullptr, h.string("v0"))),
              std::optional<std::string>(), "getRegValue with a null path");
}

// A name or data with a NUL inside fails the call: cut at the NUL, or read as null, it would
// address another value (null names the default value) or write other data.
void embeddedNulTests(Harness& h) {
  auto& lib = h.lib;
  const std::string key = kBase + "\\values";
  const jstring withNul = h.jvm.string(u"Word\0x"s);
  expectEqual(lib.deleteRegValue(h.env(), nullptr, kCurrentUser, h.string(key), withNul), -1L, "deleteRegValue");
  expectEqual(lib.setRegValue(h.env(), nullptr, kCurrentUser, h.string(key), withNul, h.string("d"), REG_SZ, 0, JNI_FALSE), -1L,
              "setRegValue with such a name");
  expectEqual(lib.setRegValue(h.env(), nullptr, kCurrentUser, h.string(key), h.string("Word"), withNul, REG_SZ, 0, JNI_FALSE), -1L,
              "setRegValue with such data");
  expectEqual(h.jvm.text(lib.getRegValue(h.env(), nullptr, kCurrentUser, h.string(key), withNul)), std::optional<std::string>(),
              "getRegValue");
  expect(readRawValue(HKEY_CURRENT_USER, key, nullptr).has_value(), "the default value is still there");
  const auto word = readRawValue(HKEY_CURRENT_USER, key, "Word");
  expect(word && word->bytes == std::string("12", 3), "the value named before the NUL is unchanged");
}

void deleteValueTests(Harness& h) {
  auto& lib = h.lib;
  const std::string key = kBase + "\\values";
  expectEqual(lib.deleteRegValue(h.env(), nullptr, kCurrentUser, h.string(key), h.string("Name")), 0L, "deleteRegValue of a named value");
  expect(!readRawValue(HKEY_CURRENT_USER, key, "Name"), "the named value is gone");
  expectEqual(lib.deleteRegValue(h.env(), nullptr, kCurrentUser, h.string(key), nullptr), 0L, "deleteRegValue of the default value");
  expect(!readRawValue(HKEY_CURRENT_USER, key, nullptr), "the default value is gone");
  expect(readRawValue(HKEY_CURRENT_USER, key, "Word").has_value(), "the other values stay");
  expectEqual(lib.deleteRegValue(h.env(), nullptr, kCurrentUser, h.string(key), h.string("Name")), -1L, "deleteRegValue of a missing value");
  expectEqual(lib.deleteRegValue(h.env(), nullptr, kCurrentUser, h.string(kBase + "\\none"), h.string("Word")), -1L,
              "deleteRegValue in a missing key");
}

// Text outside ASCII travels in the ANSI code page both ways.
void codePageTests(Harness& h) {
  const std::u16string text = u"Gr\u00fc\u00dfe \u00c5";
  BOOL lossy = FALSE;
  WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(text.c_str()), -1, nullptr, 0, nullptr, &lossy);
  if (lossy) return;  // the ANSI code page has no such letters
  const std::string key = kBase + "\\values";
  expectEqual(h.lib.setRegValue(h.env(), nullptr, kCurrentUser, h.string(key), h.string("Local"), h.jvm.string(text), REG_SZ, 0, JNI_FALSE),
              0L, "setRegValue of non-ASCII text");
  expect(readWideText(HKEY_CURRENT_USER, key, "Local") == std::wstring(text.begin(), text.end()), "the registry holds the same letters");
  expect(h.jvm.units(h.lib.getRegValue(h.env(), nullptr, kCurrentUser, h.string(key), h.string("Local"))) == text,
         "getRegValue gives the same letters back");
}

}  // namespace

void registryTests(Harness& h) {
  removeKeyTree(HKEY_CURRENT_USER, kBase);
  keyFunctionTests(h);
  setAndGetTests(h);
  openExistingTests(h);
  readBoundTests(h);
  embeddedNulTests(h);
  deleteValueTests(h);
  codePageTests(h);
  expectEqual(h.jvm.pinnedStrings(), std::size_t{0}, "every string's characters were released");
  removeKeyTree(HKEY_CURRENT_USER, kBase);
}

}  // namespace harness
