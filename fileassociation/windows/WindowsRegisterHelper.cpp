// The natives of com.norq.pelora.fileassociation.w32.WindowsRegisterHelper. Each converts its
// Java arguments, calls the library and converts the result back; the class or instance argument
// is never used.
#include <shlobj.h>

#include "AnsiText.h"
#include "ComApartment.h"
#include "DiagnosticLog.h"
#include "JniBoundary.h"
#include "JniExportNames.h"
#include "KeyResolution.h"
#include "RegistryEnumeration.h"
#include "RegistryOperations.h"
#include "ShortcutSweep.h"

VONDRA_EXPORT(queryRegKey, 16);
VONDRA_EXPORT(getRegValue, 20);
VONDRA_EXPORT(setRegValue, 36);
VONDRA_EXPORT(createRegKey, 16);
VONDRA_EXPORT(deleteRegKey, 16);
VONDRA_EXPORT(deleteRegValue, 20);
VONDRA_EXPORT(getRegEnumValueDataPairs, 16);
VONDRA_EXPORT(getRegEnumSubKeys, 16);
VONDRA_EXPORT(setDebugFlag, 12);
VONDRA_EXPORT(isVistaOrLaterVer, 8);
VONDRA_EXPORT(isCurUserInAdminsGrp, 8);
VONDRA_EXPORT(deleteDeskTopByTarget, 12);
VONDRA_EXPORT(refreshRegistry, 8);

namespace vondra {
namespace {

constexpr jint kFailure = -1;

// A Java array of the entries counted first and read again, each read on its own. An entry that
// cannot be read again or converted stays null; once Java runs out of memory for a string (an
// exception is then pending) the rest stay null too. Null when Java cannot make the array.
jobjectArray entriesToJava(JNIEnv* env, const EntryReader& read) {
  const DWORD count = countEntries(read);
  jclass stringClass = env->FindClass("java/lang/String");
  if (stringClass == nullptr) return nullptr;
  jobjectArray entries = env->NewObjectArray(static_cast<jsize>(count), stringClass, nullptr);
  env->DeleteLocalRef(stringClass);
  if (entries == nullptr) return nullptr;
  for (DWORD index = 0; index < count; ++index) {
    const auto entry = read(index);
    if (!entry) continue;
    jstring element = ansiToJava(env, *entry);
    if (element == nullptr && env->ExceptionCheck()) break;
    if (element == nullptr) continue;
    env->SetObjectArrayElement(entries, static_cast<jsize>(index), element);
    env->DeleteLocalRef(element);
  }
  return entries;
}

using IndexedRead = std::optional<std::string> (*)(const EffectiveKey&, const std::string&, DWORD);

jobjectArray enumerate(JNIEnv* env, jint root, jstring javaKeyPath, IndexedRead readAt) {
  const auto keyPath = javaToAnsi(env, javaKeyPath);
  if (!keyPath) return nullptr;
  const auto key = resolveKey(rootKeyFromJava(root), *keyPath);
  if (!key) return nullptr;
  return entriesToJava(env, [&](DWORD index) { return readAt(*key, *keyPath, index); });
}

bool isVistaOrLater() {
  static_assert(sizeof(OSVERSIONINFOA) == 148, "the basic version record");
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExA(&version) && version.dwMajorVersion > 5;
}

}  // namespace
}  // namespace vondra

using namespace vondra;

// C linkage here too, so that a definition whose arguments differ from javac's declaration is a
// conflicting declaration (a compile error), not an overload.
extern "C" {

JNIEXPORT jint JNICALL VONDRA_NATIVE(queryRegKey)(JNIEnv* env, jclass, jint root, jstring javaKeyPath) {
  return guarded(kFailure, [&] {
    const auto keyPath = javaToAnsi(env, javaKeyPath);
    return keyPath ? queryKey(rootKeyFromJava(root), *keyPath) : kFailure;
  });
}

JNIEXPORT jstring JNICALL VONDRA_NATIVE(getRegValue)(JNIEnv* env, jclass, jint root, jstring javaKeyPath,
                                                     jstring javaValueName) {
  return guarded<jstring>(nullptr, [&]() -> jstring {
    const auto keyPath = javaToAnsi(env, javaKeyPath);
    const auto valueName = optionalJavaToAnsi(env, javaValueName);
    if (!keyPath || !valueName.usable) return nullptr;
    const auto text = getValue(rootKeyFromJava(root), *keyPath, valueName.text);
    return text ? ansiToJava(env, *text) : nullptr;
  });
}

JNIEXPORT jint JNICALL VONDRA_NATIVE(setRegValue)(JNIEnv* env, jclass, jint root, jstring javaKeyPath,
                                                  jstring javaValueName, jstring javaData, jint valueType,
                                                  jint /*reserved*/, jboolean openExisting) {
  return guarded(kFailure, [&] {
    const auto keyPath = javaToAnsi(env, javaKeyPath);
    const auto valueName = optionalJavaToAnsi(env, javaValueName);
    const auto data = optionalJavaToAnsi(env, javaData);
    if (!keyPath || !valueName.usable || !data.usable) return kFailure;
    return jint{setValue(rootKeyFromJava(root), *keyPath, valueName.text, data.text,
                         static_cast<DWORD>(valueType), openExisting != JNI_FALSE)};
  });
}

JNIEXPORT jint JNICALL VONDRA_NATIVE(createRegKey)(JNIEnv* env, jclass, jint root, jstring javaKeyPath) {
  return guarded(kFailure, [&] {
    const auto keyPath = javaToAnsi(env, javaKeyPath);
    return keyPath ? createKey(rootKeyFromJava(root), *keyPath) : kFailure;
  });
}

JNIEXPORT jint JNICALL VONDRA_NATIVE(deleteRegKey)(JNIEnv* env, jclass, jint root, jstring javaKeyPath) {
  return guarded(kFailure, [&] {
    const auto keyPath = javaToAnsi(env, javaKeyPath);
    return keyPath ? deleteKey(rootKeyFromJava(root), *keyPath) : kFailure;
  });
}

JNIEXPORT jint JNICALL VONDRA_NATIVE(deleteRegValue)(JNIEnv* env, jclass, jint root, jstring javaKeyPath,
                                                     jstring javaValueName) {
  return guarded(kFailure, [&] {
    const auto keyPath = javaToAnsi(env, javaKeyPath);
    const auto valueName = optionalJavaToAnsi(env, javaValueName);
    if (!keyPath || !valueName.usable) return kFailure;
    return jint{deleteValue(rootKeyFromJava(root), *keyPath, valueName.text)};
  });
}

JNIEXPORT jobjectArray JNICALL VONDRA_NATIVE(getRegEnumValueDataPairs)(JNIEnv* env, jclass, jint root,
                                                                       jstring javaKeyPath) {
  return guarded<jobjectArray>(nullptr, [&] { return enumerate(env, root, javaKeyPath, readValueEntry); });
}

JNIEXPORT jobjectArray JNICALL VONDRA_NATIVE(getRegEnumSubKeys)(JNIEnv* env, jclass, jint root,
                                                                jstring javaKeyPath) {
  return guarded<jobjectArray>(nullptr, [&] { return enumerate(env, root, javaKeyPath, readSubKeyEntry); });
}

JNIEXPORT jint JNICALL VONDRA_NATIVE(setDebugFlag)(JNIEnv*, jclass, jboolean flag) {
  guarded([&] { DiagnosticLog::instance().setDebugFlag(flag != JNI_FALSE); });
  return 0;
}

JNIEXPORT jboolean JNICALL VONDRA_NATIVE(isVistaOrLaterVer)(JNIEnv*, jclass) {
  return isVistaOrLater() ? JNI_TRUE : JNI_FALSE;
}

JNIEXPORT jboolean JNICALL VONDRA_NATIVE(isCurUserInAdminsGrp)(JNIEnv*, jclass) { return JNI_TRUE; }

JNIEXPORT void JNICALL VONDRA_NATIVE(deleteDeskTopByTarget)(JNIEnv* env, jclass, jstring javaTarget) {
  guarded([&] {
    const auto target = javaToAnsi(env, javaTarget);
    // An empty text is contained in every target path; it names no program.
    if (!target || target->empty()) return;
    const ComApartment apartment;
    ShortcutSweep(*target).run();
  });
}

JNIEXPORT void JNICALL VONDRA_NATIVE(refreshRegistry)(JNIEnv*, jclass) {
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

}  // extern "C"
