// Text between Java and the ANSI Windows calls, in the system's ANSI code page.
#pragma once

#include <jni.h>

#include <optional>
#include <string>
#include <string_view>

namespace vondra {

// The text of a Java string in the ANSI code page. None for a null string, for one that the
// code page cannot convert, and for one with an embedded NUL (every Windows call would see
// only the part before it, and so another key, value or target).
std::optional<std::string> javaToAnsi(JNIEnv* env, jstring text);

// A string argument that may be null, where null has a meaning of its own (the default value,
// no data). A string that was given but does not convert is not usable: read as null it would
// address the default value or write no data.
struct OptionalAnsiText {
  bool usable;
  std::optional<std::string> text;
};
OptionalAnsiText optionalJavaToAnsi(JNIEnv* env, jstring text);

// A new Java string from ANSI text; null when the text does not convert or Java has no room.
jstring ansiToJava(JNIEnv* env, std::string_view text);

}  // namespace vondra
