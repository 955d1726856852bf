#include "AnsiText.h"

#include <windows.h>

#include <climits>
#include <vector>

namespace vondra {
namespace {

static_assert(sizeof(jchar) == sizeof(wchar_t), "Java characters are UTF-16 units, as WCHAR");

// The characters of a Java string, released when done.
class PinnedChars {
 public:
  PinnedChars(JNIEnv* env, jstring text) : _env(env), _text(text), _chars(env->GetStringChars(text, nullptr)) {}
  ~PinnedChars() {
    if (_chars) _env->ReleaseStringChars(_text, _chars);
  }
  PinnedChars(const PinnedChars&) = delete;
  PinnedChars& operator=(const PinnedChars&) = delete;

  const wchar_t* wide() const { return reinterpret_cast<const wchar_t*>(_chars); }

 private:
  JNIEnv* _env;
  jstring _text;
  const jchar* _chars;
};

std::optional<std::string> wideToAnsi(const wchar_t* wide, int count) {
  if (count == 0) return std::string();
  const int size = WideCharToMultiByte(CP_ACP, 0, wide, count, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::nullopt;
  std::string text(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(CP_ACP, 0, wide, count, text.data(), size, nullptr, nullptr) != size) {
    return std::nullopt;
  }
  return text;
}

}  // namespace

std::optional<std::string> javaToAnsi(JNIEnv* env, jstring text) {
  if (text == nullptr) return std::nullopt;
  const jsize count = env->GetStringLength(text);
  PinnedChars chars(env, text);
  if (chars.wide() == nullptr || count < 0) return std::nullopt;
  auto converted = wideToAnsi(chars.wide(), static_cast<int>(count));
  if (!converted || converted->find('\0') != std::string::npos) return std::nullopt;
  return converted;
}

OptionalAnsiText optionalJavaToAnsi(JNIEnv* env, jstring text) {
  if (text == nullptr) return {true, std::nullopt};
  auto converted = javaToAnsi(env, text);
  return {converted.has_value(), std::move(converted)};
}

jstring ansiToJava(JNIEnv* env, std::string_view text) {
  if (text.size() > static_cast<std::size_t>(INT_MAX)) return nullptr;
  const int count = static_cast<int>(text.size());
  // One byte never yields more than one UTF-16 unit.
  std::vector<jchar> wide(text.size() + 1, 0);
  int converted = 0;
  if (count > 0) {
    converted = MultiByteToWideChar(CP_ACP, 0, text.data(), count, reinterpret_cast<wchar_t*>(wide.data()), count);
    if (converted == 0) return nullptr;
  }
  return env->NewString(wide.data(), converted);
}

}  // namespace vondra
