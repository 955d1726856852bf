// A JNI environment for calling the natives without a JVM: the function table carries the
// functions the natives use (string characters and lengths, new strings, object arrays, class
// lookup, local references, the exception check); any other function ends the run. A simulated
// out-of-memory failure leaves an exception pending, as a JVM does, and a native that calls on
// regardless fails the run's expectations. Objects live until the FakeJvm
// goes away.
#pragma once

#include <jni.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace harness {

class FakeJvm {
 public:
  FakeJvm();
  ~FakeJvm();
  FakeJvm(const FakeJvm&) = delete;
  FakeJvm& operator=(const FakeJvm&) = delete;

  JNIEnv* env();

  // A Java string of UTF-8 text, or of UTF-16 units as they are.
  jstring string(const std::string& utf8);
  jstring string(const std::u16string& units);

  // The UTF-8 text of a Java string; none for null.
  std::optional<std::string> text(jobject string);
  std::optional<std::u16string> units(jobject string);

  // The elements of a String array as UTF-8; none for a null array.
  std::optional<std::vector<std::optional<std::string>>> strings(jobjectArray array);

  // Characters taken with GetStringChars and not released yet.
  std::size_t pinnedStrings() const { return _pinned.size(); }

  // Makes the JVM run out of memory for new arrays or new strings.
  // Switching off also clears the pending exception, as the Java caller would catch it.
  void failNewArrays(bool fail) { _failNewArrays = fail; _exceptionPending = false; }
  void failNewStrings(bool fail) { _failNewStrings = fail; _exceptionPending = false; }

  struct Object;

 private:
  template <class Kind>
  Kind* find(jobject handle);
  jobject add(std::unique_ptr<Object> object);

  struct Env;
  static FakeJvm& of(JNIEnv* env);
  // The JVM behind an environment, for a function that must not be called with an exception pending.
  static FakeJvm& callable(JNIEnv* env);
  static jboolean JNICALL exceptionCheck(JNIEnv* env);
  static jsize JNICALL getStringLength(JNIEnv* env, jstring string);
  static const jchar* JNICALL getStringChars(JNIEnv* env, jstring string, jboolean* isCopy);
  static void JNICALL releaseStringChars(JNIEnv* env, jstring string, const jchar* chars);
  static jstring JNICALL newString(JNIEnv* env, const jchar* units, jsize length);
  static jclass JNICALL findClass(JNIEnv* env, const char* name);
  static jobjectArray JNICALL newObjectArray(JNIEnv* env, jsize length, jclass elementClass, jobject initial);
  static void JNICALL setObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index, jobject value);
  static void JNICALL deleteLocalRef(JNIEnv* env, jobject object);

  std::unique_ptr<JNINativeInterface_> _table;
  std::unique_ptr<Env> _env;
  std::map<jobject, std::unique_ptr<Object>> _objects;
  std::map<const jchar*, std::unique_ptr<jchar[]>> _pinned;
  bool _failNewArrays = false;
  bool _failNewStrings = false;
  bool _exceptionPending = false;
};

}  // namespace harness
