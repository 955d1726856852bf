#include "FakeJvm.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "Checks.h"

namespace harness {

struct FakeJvm::Object {
  virtual ~Object() = default;
};

namespace {

struct StringObject : FakeJvm::Object {
  std::u16string units;
};

struct ClassObject : FakeJvm::Object {
  std::string name;
};

struct ArrayObject : FakeJvm::Object {
  std::string elementClass;
  std::vector<jobject> elements;
};

// Every function the natives have no business calling.
void JNICALL unexpectedJniCall() {
  std::fprintf(stderr, "FAILED: a native called a JNI function the library is not expected to use\n");
  std::fflush(stderr);
  ExitProcess(3);
}

std::string toUtf8(const std::u16string& units) {
  if (units.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(units.data());
  const int count = static_cast<int>(units.size());
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, count, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, count, text.data(), size, nullptr, nullptr);
  return text;
}

std::u16string fromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int count = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), count, nullptr, 0);
  std::u16string units(static_cast<std::size_t>(size), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), count, reinterpret_cast<wchar_t*>(units.data()), size);
  return units;
}

}  // namespace

struct FakeJvm::Env : JNIEnv_ {
  FakeJvm* jvm;
};

FakeJvm::FakeJvm() : _table(std::make_unique<JNINativeInterface_>()), _env(std::make_unique<Env>()) {
  static_assert(sizeof(JNINativeInterface_) % sizeof(void*) == 0);
  auto** slots = reinterpret_cast<void**>(_table.get());
  for (std::size_t i = 0; i < sizeof(JNINativeInterface_) / sizeof(void*); ++i) {
    slots[i] = reinterpret_cast<void*>(&unexpectedJniCall);
  }
  _table->reserved0 = _table->reserved1 = _table->reserved2 = _table->reserved3 = nullptr;
  _table->GetStringLength = getStringLength;
  _table->GetStringChars = getStringChars;
  _table->ReleaseStringChars = releaseStringChars;
  _table->NewString = newString;
  _table->FindClass = findClass;
  _table->NewObjectArray = newObjectArray;
  _table->SetObjectArrayElement = setObjectArrayElement;
  _table->DeleteLocalRef = deleteLocalRef;
  _table->ExceptionCheck = exceptionCheck;
  _env->functions = _table.get();
  _env->jvm = this;
}

FakeJvm::~FakeJvm() = default;

JNIEnv* FakeJvm::env() { return _env.get(); }

jstring FakeJvm::string(const std::string& utf8) { return string(fromUtf8(utf8)); }

jstring FakeJvm::string(const std::u16string& units) {
  auto object = std::make_unique<StringObject>();
  object->units = units;
  return static_cast<jstring>(add(std::move(object)));
}

std::optional<std::u16string> FakeJvm::units(jobject string) {
  if (string == nullptr) return std::nullopt;
  auto* object = find<StringObject>(string);
  if (object == nullptr) return std::nullopt;
  return object->units;
}

std::optional<std::string> FakeJvm::text(jobject string) {
  auto found = units(string);
  if (!found) return std::nullopt;
  return toUtf8(*found);
}

std::optional<std::vector<std::optional<std::string>>> FakeJvm::strings(jobjectArray array) {
  if (array == nullptr) return std::nullopt;
  auto* object = find<ArrayObject>(array);
  if (object == nullptr) return std::nullopt;
  std::vector<std::optional<std::string>> texts;
  for (jobject element : object->elements) texts.push_back(text(element));
  return texts;
}

template <class Kind>
Kind* FakeJvm::find(jobject handle) {
  const auto found = _objects.find(handle);
  Kind* object = found == _objects.end() ? nullptr : dynamic_cast<Kind*>(found->second.get());
  expect(object != nullptr, "a JNI call got a handle that is not an object of the expected kind");
  return object;
}

jobject FakeJvm::add(std::unique_ptr<Object> object) {
  auto handle = reinterpret_cast<jobject>(object.get());
  _objects.emplace(handle, std::move(object));
  return handle;
}

FakeJvm& FakeJvm::of(JNIEnv* env) { return *static_cast<Env*>(env)->jvm; }

FakeJvm& FakeJvm::callable(JNIEnv* env) {
  expect(!of(env)._exceptionPending, "no JNI call but the exception check while an exception is pending");
  return of(env);
}

jboolean JNICALL FakeJvm::exceptionCheck(JNIEnv* env) { return of(env)._exceptionPending ? JNI_TRUE : JNI_FALSE; }

jsize JNICALL FakeJvm::getStringLength(JNIEnv* env, jstring string) {
  auto* object = callable(env).find<StringObject>(string);
  return object ? static_cast<jsize>(object->units.size()) : 0;
}

const jchar* JNICALL FakeJvm::getStringChars(JNIEnv* env, jstring string, jboolean* isCopy) {
  auto* object = callable(env).find<StringObject>(string);
  if (object == nullptr) return nullptr;
  auto chars = std::make_unique<jchar[]>(object->units.size() + 1);
  std::memcpy(chars.get(), object->units.data(), object->units.size() * sizeof(jchar));
  if (isCopy) *isCopy = JNI_TRUE;
  const jchar* pinned = chars.get();
  of(env)._pinned.emplace(pinned, std::move(chars));
  return pinned;
}

void JNICALL FakeJvm::releaseStringChars(JNIEnv* env, jstring string, const jchar* chars) {
  of(env).find<StringObject>(string);
  expect(of(env)._pinned.erase(chars) == 1, "ReleaseStringChars got characters that GetStringChars did not give");
}

jstring JNICALL FakeJvm::newString(JNIEnv* env, const jchar* units, jsize length) {
  if (callable(env)._failNewStrings) {
    of(env)._exceptionPending = true;
    return nullptr;
  }
  expect(length >= 0 && (units != nullptr || length == 0), "NewString got a sound buffer");
  if (length < 0) return nullptr;
  return of(env).string(std::u16string(reinterpret_cast<const char16_t*>(units), static_cast<std::size_t>(length)));
}

jclass JNICALL FakeJvm::findClass(JNIEnv* env, const char* name) {
  callable(env);
  auto object = std::make_unique<ClassObject>();
  object->name = name;
  return static_cast<jclass>(of(env).add(std::move(object)));
}

jobjectArray JNICALL FakeJvm::newObjectArray(JNIEnv* env, jsize length, jclass elementClass, jobject initial) {
  auto* type = callable(env).find<ClassObject>(elementClass);
  expect(type && type->name == "java/lang/String", "NewObjectArray makes an array of java/lang/String");
  expect(length >= 0, "NewObjectArray gets a length of 0 or more");
  if (of(env)._failNewArrays) of(env)._exceptionPending = true;
  if (of(env)._failNewArrays || length < 0) return nullptr;
  auto object = std::make_unique<ArrayObject>();
  object->elementClass = type ? type->name : "";
  object->elements.assign(static_cast<std::size_t>(length), initial);
  return static_cast<jobjectArray>(of(env).add(std::move(object)));
}

void JNICALL FakeJvm::setObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index, jobject value) {
  auto* object = callable(env).find<ArrayObject>(array);
  if (object == nullptr) return;
  const bool inside = index >= 0 && static_cast<std::size_t>(index) < object->elements.size();
  expect(inside, "SetObjectArrayElement stays inside the array");
  if (value != nullptr) of(env).find<StringObject>(value);
  if (inside) object->elements[static_cast<std::size_t>(index)] = value;
}

void JNICALL FakeJvm::deleteLocalRef(JNIEnv* env, jobject object) {
  // References are not counted; the object stays reachable from any array that holds it.
  if (object != nullptr) of(env).find<Object>(object);
}

}  // namespace harness
