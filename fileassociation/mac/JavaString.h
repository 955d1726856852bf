#pragma once
// Text from Java as UTF-8.
#include <jni.h>

#include <optional>
#include <string>

namespace macassoc {

// The string in standard UTF-8 (not the JVM's modified form: characters outside the basic
// plane become four-byte sequences and U+0000 one zero byte; a lone surrogate becomes U+FFFD).
// None for a null reference. The characters are copied out, so nothing stays pinned.
std::optional<std::string> utf8FromJava(JNIEnv* env, jstring text);

}  // namespace macassoc
